#include "ui/win32/WinUserInterface.h"

#include "app/LoaderApp.h"
#include "resources/DialogTemplates.h"
#include "serial/SerialLink.h"
#include "ui/win32/WinConfirmDlg.h"
#include "ui/win32/WinWindows.h"
#include "ui/win32/WinWizard.h"

namespace {

INT_PTR CALLBACK NoticeProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

// The end of text that fits the control's width in its font, behind "..."
// where the whole does not: the name that comes last is the port being
// probed, so the list gives way at its start, a whole name at a time.
std::string FittingEnd(HWND control, const std::string& text)
{
    RECT room{};
    ::GetClientRect(control, &room);
    HDC dc = ::GetDC(control);
    if (dc == nullptr)
        return text;
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    auto fits = [&](const std::string& shown) {
        SIZE size{};
        return ::GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &size) &&
               size.cx <= room.right - room.left;
    };
    std::string shown = text;
    for (std::size_t from = 0; !fits(shown);) {
        from = text.find(' ', from + 1);
        if (from == std::string::npos)
            break;  // one name alone: the control cuts it as it may
        shown = "..." + text.substr(from);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return shown;
}

}  // namespace

WinUserInterface::WinUserInterface()
{
    // While the program waits for a modem, its windows are kept painted,
    // so that the system does not take it for hung; what the person types
    // or clicks meanwhile goes nowhere.
    SerialLink::SetWaitHook([] { PumpDiscardingInput(); });
}

WinUserInterface::~WinUserInterface()
{
    SerialLink::SetWaitHook(nullptr);
    CloseSearchNotice();
}

MsgResult WinUserInterface::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                        MsgButtons buttons)
{
    HWND owner = ::GetActiveWindow();
    if (owner == nullptr || owner == m_notice)
        owner = m_mainWindow;
    return ShowMessageBox(owner, caption, text, icon, buttons);
}

void WinUserInterface::ShowSearchNotice()
{
    CloseSearchNotice();
    // Modeless, owned by the wizard: above it, not above other programs.
    m_notice = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SEARCH_NOTICE), m_mainWindow,
                                    NoticeProc, 0);
    if (m_notice == nullptr)
        return;  // the scan goes on without it
    m_noticeText.clear();
    ::SetDlgItemTextA(m_notice, IDC_NOTICE_PORTS, "");
    ::UpdateWindow(m_notice);
}

std::string WinUserInterface::SearchNoticeText() { return m_notice != nullptr ? m_noticeText : std::string(); }

void WinUserInterface::SetSearchNoticeText(const std::string& text)
{
    if (m_notice == nullptr)
        return;
    m_noticeText = text;
    HWND list = ::GetDlgItem(m_notice, IDC_NOTICE_PORTS);
    ::SetWindowTextA(list, FittingEnd(list, text).c_str());
    // No message loop runs while a port is probed: paint now.
    ::RedrawWindow(m_notice, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void WinUserInterface::CloseSearchNotice()
{
    if (m_notice != nullptr)
        ::DestroyWindow(m_notice);
    m_notice = nullptr;
}

int WinUserInterface::RunConfirmDlg()
{
    CConfirmDlg confirm(*this);
    return confirm.DoModal(m_mainWindow);
}

void WinUserInterface::RunWizard(CLoaderApp& /*app*/)
{
    CFlashWizard wizard(*this);
    wizard.DoModal();
    m_mainWindow = nullptr;
}

int WinUserInterface::ScanForModems() { return CLoaderApp::ScanForModems(*this); }
