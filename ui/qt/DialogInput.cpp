#include "ui/qt/DialogInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>

namespace {

// Swallows the window system's input events while PumpDiscardingInput
// runs; events that the program makes itself pass.
class InputDiscarder : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (m_depth == 0 || !event->spontaneous())
            return QObject::eventFilter(receiver, event);
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::InputMethod:
            return true;
        case QEvent::Close:
            // The window manager's close box: ignored while the program waits.
            event->ignore();
            return true;
        default:
            return QObject::eventFilter(receiver, event);
        }
    }

    int m_depth = 0;
};

InputDiscarder* Discarder()
{
    // Owned by the application: gone with it, made again for the next one.
    static QPointer<InputDiscarder> discarder;
    if (discarder.isNull() && qApp != nullptr) {
        discarder = new InputDiscarder;
        discarder->setParent(qApp);
        qApp->installEventFilter(discarder);
    }
    return discarder;
}

}  // namespace

void PumpDiscardingInput()
{
    InputDiscarder* discarder = Discarder();
    if (discarder == nullptr)
        return;
    ++discarder->m_depth;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --discarder->m_depth;
}

bool PressFocusedButton(QWidget* dialog, QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
    if (button == nullptr || button->window() != dialog || !button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    event->accept();
    return true;
}
