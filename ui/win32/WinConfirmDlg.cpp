#include "ui/win32/WinConfirmDlg.h"

#include "app/LastSelection.h"
#include "base/Text.h"
#include "resources/DialogTemplates.h"
#include "ui/rules/ConfirmRules.h"
#include "ui/win32/WinWindows.h"

#include <commctrl.h>

namespace {

constexpr COLORREF kYellow = RGB(255, 255, 0);

HICON StatusIconHandle(StatusKind kind)
{
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), ResourceName(StatusIcon(kind)), IMAGE_ICON, 0,
                                           0, LR_DEFAULTSIZE | LR_SHARED));
}

}  // namespace

CConfirmDlg::CConfirmDlg(MessageUi& messages)
    : m_messages(messages), m_session(m_presenter, TargetFromSelection()), m_yellow(::CreateSolidBrush(kYellow))
{
}

CConfirmDlg::~CConfirmDlg() { ::DeleteObject(m_yellow); }

int CConfirmDlg::DoModal(HWND owner)
{
    m_owner = owner;
    INT_PTR result = ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONFIRM), owner, DialogProc,
                                       reinterpret_cast<LPARAM>(this));
    return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK CConfirmDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<CConfirmDlg*>(lParam)->m_window = window;
    }
    auto* self = reinterpret_cast<CConfirmDlg*>(::GetWindowLongPtrA(window, DWLP_USER));
    return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CConfirmDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        if (!OnInitDialog())
            ::EndDialog(m_window, IDCANCEL);
        return TRUE;  // the dialog manager sets the focus
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        // Black on yellow for the fields of every mismatch the check found.
        HWND control = reinterpret_cast<HWND>(lParam);
        if (m_checked && IsHighlighted(::GetDlgCtrlID(control), m_session.Mismatches())) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, RGB(0, 0, 0));
            ::SetBkColor(dc, kYellow);
            return reinterpret_cast<INT_PTR>(m_yellow);
        }
        return FALSE;
    }
    case WM_SETCURSOR:
        if (m_busy) {
            ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
            ::SetWindowLongPtrA(m_window, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

bool CConfirmDlg::OnInitDialog()
{
    // Over the wizard, as its own window; over the screen before the
    // wizard is up.
    CentreOverOwner(m_window);
    SetText(IDC_CONFIRM_PORT, std::string(FieldText(FlashSelection.PortName)));
    SetText(IDC_CONFIRM_BAUD, std::to_string(FlashSelection.BaudRate));
    // A long path keeps its file name in sight: the middle gives way.
    HWND path = ::GetDlgItem(m_window, IDC_CONFIRM_PATH);
    ::SetWindowLongPtrA(path, GWL_STYLE, ::GetWindowLongPtrA(path, GWL_STYLE) | SS_PATHELLIPSIS | SS_NOTIFY);
    SetText(IDC_CONFIRM_PATH, std::string(FieldText(FlashSelection.HexFilePath)));
    HWND bar = ::GetDlgItem(m_window, IDC_CONFIRM_PROGRESS);
    ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ::SendMessageA(bar, PBM_SETPOS, 0, 0);
    ::SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SetRunState(RunState::Ready);

    // The whole path, and later what exactly went wrong, on hovering.
    m_tooltip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0,
                                  m_window, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (m_tooltip != nullptr) {
        ::SendMessageA(m_tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
        for (int id : {IDC_CONFIRM_PATH, IDC_CONFIRM_STATUS}) {
            TOOLINFOA tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = m_window;
            tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(m_window, id));
            tool.lpszText = const_cast<char*>(id == IDC_CONFIRM_PATH ? FlashSelection.HexFilePath : "");
            ::SendMessageA(m_tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }

    SetBusy(true);
    FlashSession::CheckResult result = m_session.CheckAtOpening();
    SetBusy(false);
    if (result != FlashSession::CheckResult::Ready)
        return false;
    m_checked = true;
    // The focus goes to Perform Loading, the first button, and Return is
    // to press it: the dialog manager of some systems makes a button that
    // gets the first focus the default one, others leave IDOK the default.
    ::SendMessageA(m_window, DM_SETDEFID, IDC_CONFIRM_PERFORM, 0);
    ::InvalidateRect(m_window, nullptr, TRUE);
    return true;
}

void CConfirmDlg::OnCommand(int id)
{
    switch (id) {
    case IDC_CONFIRM_PERFORM:
        m_session.OnPerformLoading();
        break;
    case IDOK:
        // Return with no button focused comes as IDOK too: only the Close
        // of an ended run ends the window with it.
        if (m_state == RunState::Succeeded || m_state == RunState::Failed)
            ::EndDialog(m_window, IDOK);
        break;
    case IDCANCEL:
        // Change Inputs, or Esc while it is offered.
        if (MayCloseAsChangeInputs(m_state))
            ::EndDialog(m_window, IDCANCEL);
        break;
    default:
        break;
    }
}

void CConfirmDlg::SetText(int id, const std::string& text) { ::SetDlgItemTextA(m_window, id, text.c_str()); }

MsgResult CConfirmDlg::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                   MsgButtons buttons)
{
    // Before the check has ended the window is not shown yet: the box
    // belongs to the window behind it.
    HWND owner = m_window != nullptr && ::IsWindowVisible(m_window) ? m_window : m_owner;
    return ShowMessageBox(owner, caption, text, icon, buttons);
}

void CConfirmDlg::ShowStatus(const std::string& text, StatusKind kind)
{
    ::SendDlgItemMessageA(m_window, IDC_CONFIRM_ICON, STM_SETICON, reinterpret_cast<WPARAM>(StatusIconHandle(kind)), 0);
    SetText(IDC_CONFIRM_STATUS, text);
}

void CConfirmDlg::ShowFailureDetail(const std::string& detail)
{
    m_detail = detail;
    if (m_tooltip == nullptr)
        return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(m_window, IDC_CONFIRM_STATUS));
    tool.lpszText = const_cast<char*>(m_detail.c_str());
    ::SendMessageA(m_tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CConfirmDlg::ShowFileProblem(const std::string& text)
{
    // It takes the place of the percentage and its caption: overlapping
    // statics would paint over each other.
    SetText(IDC_CONFIRM_FILE_PROBLEM, text);
    for (int id : {IDC_CONFIRM_PERCENT, IDC_CONFIRM_PROGRESS_CAPTION})
        ::ShowWindow(::GetDlgItem(m_window, id), text.empty() ? SW_SHOW : SW_HIDE);
    ::ShowWindow(::GetDlgItem(m_window, IDC_CONFIRM_FILE_PROBLEM), text.empty() ? SW_HIDE : SW_SHOW);
}

void CConfirmDlg::ShowFileInfo(const InfoRow& row)
{
    SetText(IDC_CONFIRM_FILE_TYPE, row.type);
    SetText(IDC_CONFIRM_FILE_SECTOR_SIZE, row.sectorSize);
    SetText(IDC_CONFIRM_FILE_CHECKSUM, row.checksum);
}

void CConfirmDlg::ShowModemInfo(const InfoRow& row)
{
    SetText(IDC_CONFIRM_MODEM_TYPE, row.type);
    SetText(IDC_CONFIRM_MODEM_SECTOR_SIZE, row.sectorSize);
    SetText(IDC_CONFIRM_MODEM_CHECKSUM, row.checksum);
}

void CConfirmDlg::SetPercentText(const std::string& text) { SetText(IDC_CONFIRM_PERCENT, text); }

void CConfirmDlg::SetProgressCaption(const std::string& text) { SetText(IDC_CONFIRM_PROGRESS_CAPTION, text); }

void CConfirmDlg::SetProgressPos(int percent)
{
    ::SendDlgItemMessageA(m_window, IDC_CONFIRM_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void CConfirmDlg::SetBusyBar(bool busy)
{
    if (busy == m_busyBar)
        return;
    m_busyBar = busy;
    HWND bar = ::GetDlgItem(m_window, IDC_CONFIRM_PROGRESS);
    LONG_PTR style = ::GetWindowLongPtrA(bar, GWL_STYLE);
    ::SetWindowLongPtrA(bar, GWL_STYLE, busy ? style | PBS_MARQUEE : style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
    ::SendMessageA(bar, PBM_SETMARQUEE, busy ? TRUE : FALSE, 50);
    if (!busy)
        ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
}

void CConfirmDlg::SetRunState(RunState state)
{
    if (state == RunState::Succeeded || state == RunState::Failed) {
        // Whatever was typed or clicked up to now belongs to the run: it
        // must not press Close, and the outcome stands until Close is
        // pressed after this.
        PumpDiscardingInput();
        DiscardInput();
    }
    m_state = state;
    const ConfirmLook look = LookOfConfirm(state);
    auto apply = [this](int id, bool shown, bool enabled) {
        HWND control = ::GetDlgItem(m_window, id);
        ::EnableWindow(control, enabled ? TRUE : FALSE);
        ::ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
    };
    apply(IDC_CONFIRM_PERFORM, look.performShown, look.performEnabled);
    apply(IDC_CONFIRM_CHANGE, look.changeShown, look.changeEnabled);
    apply(IDC_CONFIRM_CLOSE, look.closeShown, look.closeEnabled);
    apply(IDC_CONFIRM_PROGRESS, look.progressShown, look.progressEnabled);
    if (look.closeTakesFocus) {
        ::SendMessageA(m_window, DM_SETDEFID, IDC_CONFIRM_CLOSE, 0);
        ::SendMessageA(m_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(m_window, IDC_CONFIRM_CLOSE)),
                       TRUE);
    }
}

void CConfirmDlg::SetTitle(const std::string& title) { ::SetWindowTextA(m_window, title.c_str()); }

void CConfirmDlg::SetBusy(bool busy)
{
    m_busy = busy;
    ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(busy ? 32514 : 32512)));  // IDC_WAIT, IDC_ARROW
}

void CConfirmDlg::Beep(BeepKind kind) { ::MessageBeep(kind == BeepKind::IconHand ? MB_ICONHAND : MB_OK); }

void CConfirmDlg::Repaint()
{
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool CConfirmDlg::PumpMessages()
{
    // Paint and the system's own traffic; what the person types or clicks
    // during the run goes nowhere (the window's buttons are disabled).
    return PumpDiscardingInput();
}
