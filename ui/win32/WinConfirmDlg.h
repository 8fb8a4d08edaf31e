#pragma once
// The confirmation window on Windows (template 132): the selected port,
// rate and file, what the file and the modem say about themselves with the
// differences in yellow, and the buttons to change the inputs or to start
// the flashing run, whose progress and outcome it then shows.

#include "flash/FlashSession.h"
#include "ui/rules/RunPresenter.h"

#include <windows.h>

class CConfirmDlg : public RunView {
public:
    explicit CConfirmDlg(MessageUi& messages);
    ~CConfirmDlg() override;
    CConfirmDlg(const CConfirmDlg&) = delete;
    CConfirmDlg& operator=(const CConfirmDlg&) = delete;

    // Runs the window modally, owned by owner (none in developer mode):
    // IDOK after Close (a run took place), IDCANCEL after Change Inputs or
    // when the check at opening failed (the window is then never shown).
    int DoModal(HWND owner);

    // RunView
    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    void ShowStatus(const std::string& text, StatusKind kind) override;
    void ShowFileInfo(const InfoRow& row) override;
    void ShowModemInfo(const InfoRow& row) override;
    void SetPercentText(const std::string& text) override;
    void SetProgressCaption(const std::string& text) override;
    void SetProgressPos(int percent) override;
    void SetBusyBar(bool busy) override;
    void SetRunState(RunState state) override;
    void SetTitle(const std::string& title) override;
    void SetBusy(bool busy) override;
    void Beep(BeepKind kind) override;
    void Repaint() override;
    bool PumpMessages() override;
    void ShowFailureDetail(const std::string& detail) override;
    void ShowFileProblem(const std::string& text) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnInitDialog();
    void OnCommand(int id);
    void SetText(int id, const std::string& text);

    MessageUi& m_messages;
    RunPresenter m_presenter{*this};
    FlashSession m_session;
    HWND m_window = nullptr;
    HWND m_owner = nullptr;
    HBRUSH m_yellow;
    HWND m_tooltip = nullptr;
    std::string m_detail;
    RunState m_state = RunState::Ready;
    bool m_checked = false;
    bool m_busy = false;
    bool m_busyBar = false;
};
