#include "ui/win32/WinUserInterface.h"

#include "app/LoaderApp.h"
#include "resources/DialogTemplates.h"
#include "serial/SerialLink.h"
#include "ui/win32/WinConfirmDlg.h"
#include "ui/win32/WinWindows.h"
#include "ui/win32/WinWizard.h"

namespace {

INT_PTR CALLBACK NoticeProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

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
    ::SetDlgItemTextA(m_notice, IDC_NOTICE_PORTS, "");
    ::UpdateWindow(m_notice);
}

std::string WinUserInterface::SearchNoticeText()
{
    return m_notice != nullptr ? WindowText(::GetDlgItem(m_notice, IDC_NOTICE_PORTS)) : std::string();
}

void WinUserInterface::SetSearchNoticeText(const std::string& text)
{
    if (m_notice == nullptr)
        return;
    ::SetDlgItemTextA(m_notice, IDC_NOTICE_PORTS, text.c_str());
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
