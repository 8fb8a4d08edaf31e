#pragma once
// The Win32 front end of start-up: message boxes, the search notice of a
// scan, the confirmation window and the wizard.

#include "base/UserInterface.h"

#include <windows.h>

class WinUserInterface : public StartupUi {
public:
    WinUserInterface();
    ~WinUserInterface() override;
    WinUserInterface(const WinUserInterface&) = delete;
    WinUserInterface& operator=(const WinUserInterface&) = delete;

    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    void ShowSearchNotice() override;
    std::string SearchNoticeText() override;
    void SetSearchNoticeText(const std::string& text) override;
    void CloseSearchNotice() override;
    int RunConfirmDlg() override;
    void RunWizard(CLoaderApp& app) override;

    // The port scan, under this front end's notice and messages.
    int ScanForModems();
    // The wizard's sheet while it runs: the owner of the notice and of the
    // confirmation window.
    HWND MainWindow() const { return m_mainWindow; }
    void SetMainWindow(HWND window) { m_mainWindow = window; }

private:
    HWND m_mainWindow = nullptr;
    HWND m_notice = nullptr;
    std::string m_noticeText;  // every name so far; the notice shows what fits
};
