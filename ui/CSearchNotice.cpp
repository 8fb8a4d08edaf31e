#include "ui/CSearchNotice.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>

CSearchNotice::CSearchNotice(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    m_controls = BuildDialog(IDD_SEARCH_NOTICE, this);
    setWindowTitle(QString());
    // A dialog frame without a caption.
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(2);
    frame->setGeometry(rect());
    frame->lower();
    QScreen* screen = owner != nullptr ? owner->screen() : QApplication::primaryScreen();
    if (screen != nullptr)
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

std::string CSearchNotice::Text() const
{
    return m_controls.Get<QLabel>(1018)->text().toStdString();
}

void CSearchNotice::SetText(const std::string& text)
{
    SetControlText(m_controls[1018], QString::fromStdString(text));
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
