#pragma once
// Drives windows that run their own modal loops: each step waits (polling
// from a timer, in whatever event loop runs) until its condition holds, then
// acts, then the next step waits.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>

class UiSteps {
public:
    using Condition = std::function<bool()>;
    using Action = std::function<void()>;

    UiSteps() : m_alive(std::make_shared<bool>(true))
    {
        m_sinceProgress.start();
        Schedule();
    }
    ~UiSteps() { *m_alive = false; }
    UiSteps(const UiSteps&) = delete;
    UiSteps& operator=(const UiSteps&) = delete;

    void When(Condition condition, Action action) { m_steps.push_back({std::move(condition), std::move(action)}); }
    bool Done() const { return m_steps.empty(); }

    // The visible modal window on top if its title is title, else null.
    static QWidget* Modal(const QString& title)
    {
        QWidget* modal = QApplication::activeModalWidget();
        return modal != nullptr && modal->isVisible() && modal->windowTitle() == title ? modal : nullptr;
    }

private:
    // A timer does not fire again while its own handler runs, and an action
    // may run a modal loop in which the next steps must go on: every poll
    // therefore has a single-shot timer of its own.
    void Schedule()
    {
        std::weak_ptr<bool> alive = m_alive;
        QTimer::singleShot(15, [this, alive] {
            if (alive.expired() || !*alive.lock())
                return;
            Schedule();
            Poll();
        });
    }

    void Poll()
    {
        // A window that never comes, or one that never goes, must not hang
        // the test: after a long wait every modal window is closed, and the
        // steps left over tell what did not happen.
        if (m_sinceProgress.elapsed() > kPatienceMs) {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->done(QDialog::Rejected);
            return;
        }
        if (m_steps.empty() || !m_steps.front().first())
            return;
        m_sinceProgress.restart();
        Action action = std::move(m_steps.front().second);
        m_steps.pop_front();
        action();
    }

    static constexpr qint64 kPatienceMs = 60000;
    std::shared_ptr<bool> m_alive;
    QElapsedTimer m_sinceProgress;
    std::deque<std::pair<Condition, Action>> m_steps;
};
