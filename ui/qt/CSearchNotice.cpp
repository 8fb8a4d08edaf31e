#include "ui/qt/CSearchNotice.h"

#include "ui/qt/DialogInput.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>

CSearchNotice::CSearchNotice(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    // Owned by the wizard, so it stays above the wizard only, not above
    // other programs; and it leaves the keyboard with the wizard.
    setAttribute(Qt::WA_ShowWithoutActivating);
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
    PumpDiscardingInput();
}

std::string CSearchNotice::Text() const { return m_text; }

void CSearchNotice::SetText(const std::string& text)
{
    m_text = text;
    // Eight port names are wider than the notice: rather than lose both
    // ends, show the end, with the port being probed now, behind an
    // ellipsis.
    auto* label = m_controls.Get<QLabel>(IDC_NOTICE_PORTS);
    const int room = width() - 2 * label->fontMetrics().averageCharWidth();
    SetControlText(label, label->fontMetrics().elidedText(QString::fromStdString(text), Qt::ElideLeft, room));
    repaint();
    PumpDiscardingInput();
}
