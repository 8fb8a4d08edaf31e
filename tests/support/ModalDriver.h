#pragma once
// Answers the modal windows of a Qt front end as they come up: each handler
// in turn gets the next modal window that appears, and records its title.

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class ModalDriver {
public:
    using Handler = std::function<void(QWidget*)>;

    ModalDriver()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }

    void Then(Handler handler) { m_handlers.push_back(std::move(handler)); }

    const std::vector<std::string>& Titles() const { return m_titles; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == m_last.data() || m_handlers.empty())
            return;
        m_last = modal;
        m_titles.push_back(modal->windowTitle().toStdString());
        Handler handler = std::move(m_handlers.front());
        m_handlers.pop_front();
        handler(modal);
    }

    QTimer m_timer;
    std::deque<Handler> m_handlers;
    std::vector<std::string> m_titles;
    QPointer<QWidget> m_last;  // null again once that window is gone
};
