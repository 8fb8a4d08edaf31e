#include "ui/qt/CConfirmDlg.h"

#include "app/LastSelection.h"
#include "base/Text.h"
#include "ui/qt/DialogInput.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/WindowHints.h"
#include "ui/rules/ConfirmRules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

const QColor kHighlight(255, 255, 0);

QString Local(std::string_view text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CConfirmDlg::CConfirmDlg(QWidget* parent, UiDialogs& dialogs)
    : QDialog(parent), m_dialogs(dialogs), m_session(m_presenter, TargetFromSelection())
{
    for (StatusKind kind : {StatusKind::Info, StatusKind::Question, StatusKind::Stop})
        m_statusIcons[StatusIcon(kind)] = Picture(StatusIcon(kind));
    // A caption but no system menu, so no close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    m_controls = BuildDialog(IDD_CONFIRM, this);
    m_icon = m_controls.Get<QLabel>(IDC_CONFIRM_ICON);
    m_progress = m_controls.Get<QProgressBar>(IDC_CONFIRM_PROGRESS);
    m_close = m_controls.Get<QPushButton>(IDC_CONFIRM_CLOSE);
    m_change = m_controls.Get<QPushButton>(IDC_CONFIRM_CHANGE);
    m_perform = m_controls.Get<QPushButton>(IDC_CONFIRM_PERFORM);
    connect(m_perform, &QPushButton::clicked, this, [this] { OnPerformLoading(); });
    connect(m_change, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    connect(m_close, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
}

CConfirmDlg::~CConfirmDlg()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

int CConfirmDlg::DoModal()
{
    if (!OnInitDialog())
        return IDCANCEL;
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

bool CConfirmDlg::OnInitDialog()
{
    SetControlText(m_controls[IDC_CONFIRM_PORT], Local(FieldText(FlashSelection.PortName)));
    SetControlText(m_controls[IDC_CONFIRM_BAUD], QString::number(FlashSelection.BaudRate));
    SetPathText(m_controls[IDC_CONFIRM_PATH], Local(FieldText(FlashSelection.HexFilePath)));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    SetRunState(RunState::Ready);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    FlashSession::CheckResult result = m_session.CheckAtOpening();
    QApplication::restoreOverrideCursor();
    if (result != FlashSession::CheckResult::Ready)
        return false;
    OnCtlColor();
    return true;
}

void CConfirmDlg::OnCtlColor()
{
    const std::uint16_t flags = m_session.Mismatches();
    for (int id : HighlightedFields(MismatchSectorSize | MismatchChecksum | MismatchType)) {
        QWidget* field = m_controls[id];
        const bool highlighted = IsHighlighted(id, flags);
        QPalette palette = field->palette();
        if (highlighted) {
            palette.setColor(QPalette::Window, kHighlight);
            palette.setColor(QPalette::WindowText, Qt::black);
        } else {
            palette = QApplication::palette(field);
        }
        field->setPalette(palette);
        field->setAutoFillBackground(highlighted);
    }
}

void CConfirmDlg::OnPerformLoading() { m_session.OnPerformLoading(); }

void CConfirmDlg::reject()
{
    // Esc or the window manager's close: as Change Inputs, while that is
    // offered; after a run only Close ends the window.
    if (MayCloseAsChangeInputs(m_state))
        QDialog::reject();
}

void CConfirmDlg::showEvent(QShowEvent* event)
{
    // The window exists by now and is not yet mapped.
    AskForCaptionWithoutButtons(this);
    QDialog::showEvent(event);
}

void CConfirmDlg::keyPressEvent(QKeyEvent* event)
{
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

MsgResult CConfirmDlg::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                   MsgButtons buttons)
{
    return m_dialogs.ShowMessage(caption, text, icon, buttons);
}

void CConfirmDlg::ShowStatus(const std::string& text, StatusKind kind)
{
    m_icon->setPixmap(m_statusIcons[StatusIcon(kind)]);
    SetControlText(m_controls[IDC_CONFIRM_STATUS], QString::fromStdString(text));
}

void CConfirmDlg::ShowFailureDetail(const std::string& detail)
{
    // The status keeps the run's own two sentences; what exactly went
    // wrong (which file, which line, which answer) is there on hovering.
    QString text = Local(detail);
    m_controls[IDC_CONFIRM_STATUS]->setToolTip(text);
    m_icon->setToolTip(text);
}

void CConfirmDlg::ShowFileProblem(const std::string& text)
{
    // A path: plain text, so that nothing in it is taken for markup or a
    // mnemonic. It takes the place of the percentage and its caption.
    QWidget* problem = m_controls[IDC_CONFIRM_FILE_PROBLEM];
    const QString shown = Local(text);
    SetControlText(problem, shown);
    problem->setToolTip(shown);
    problem->setVisible(!text.empty());
    for (int id : {IDC_CONFIRM_PERCENT, IDC_CONFIRM_PROGRESS_CAPTION})
        m_controls[id]->setVisible(text.empty());
}

void CConfirmDlg::SetBusyBar(bool busy)
{
    // A range of nothing is Qt's busy bar.
    m_progress->setRange(0, busy ? 0 : 100);
}

void CConfirmDlg::ShowFileInfo(const InfoRow& row)
{
    SetControlText(m_controls[IDC_CONFIRM_FILE_TYPE], QString::fromStdString(row.type));
    SetControlText(m_controls[IDC_CONFIRM_FILE_SECTOR_SIZE], QString::fromStdString(row.sectorSize));
    SetControlText(m_controls[IDC_CONFIRM_FILE_CHECKSUM], QString::fromStdString(row.checksum));
}

void CConfirmDlg::ShowModemInfo(const InfoRow& row)
{
    SetControlText(m_controls[IDC_CONFIRM_MODEM_TYPE], QString::fromStdString(row.type));
    SetControlText(m_controls[IDC_CONFIRM_MODEM_SECTOR_SIZE], QString::fromStdString(row.sectorSize));
    SetControlText(m_controls[IDC_CONFIRM_MODEM_CHECKSUM], QString::fromStdString(row.checksum));
}

void CConfirmDlg::SetPercentText(const std::string& text)
{
    SetControlText(m_controls[IDC_CONFIRM_PERCENT], QString::fromStdString(text));
}

void CConfirmDlg::SetProgressCaption(const std::string& text)
{
    SetControlText(m_controls[IDC_CONFIRM_PROGRESS_CAPTION], QString::fromStdString(text));
}

void CConfirmDlg::SetProgressPos(int percent) { m_progress->setValue(percent); }

void CConfirmDlg::SetRunState(RunState state)
{
    const bool ended = state == RunState::Succeeded || state == RunState::Failed;
    if (ended) {
        // Whatever was typed or clicked up to now belongs to the run: it
        // must not press Close, and the outcome stands until Close is
        // pressed after this.
        PumpDiscardingInput();
    }
    m_state = state;

    const ConfirmLook look = LookOfConfirm(state);
    const struct {
        QWidget* control;
        bool shown, enabled;
    } parts[] = {
        {m_progress, look.progressShown, look.progressEnabled},
        {m_close, look.closeShown, look.closeEnabled},
        {m_perform, look.performShown, look.performEnabled},
        {m_change, look.changeShown, look.changeEnabled},
    };
    // What goes is hidden before what comes is shown.
    for (bool shown : {false, true}) {
        for (const auto& part : parts) {
            if (part.shown == shown) {
                part.control->setEnabled(part.enabled);
                part.control->setVisible(part.shown);
            }
        }
    }
    if (look.closeTakesFocus) {
        m_close->setDefault(true);
        m_close->setFocus();
    }
}

void CConfirmDlg::SetTitle(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

void CConfirmDlg::SetBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CConfirmDlg::Beep(BeepKind) { QApplication::beep(); }

void CConfirmDlg::Repaint() { repaint(); }

bool CConfirmDlg::PumpMessages()
{
    // Paint and the window system's own traffic; what the person types or
    // clicks during the run goes nowhere (the window's buttons are disabled).
    PumpDiscardingInput();
    return !QCoreApplication::closingDown();
}
