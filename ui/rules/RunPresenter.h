#pragma once
// The confirmation window's run as both windows show it: which caption,
// which percent text, which title and status go with each event of the
// engine, when to beep, when to redraw and when to let the window handle
// its messages. The windows only draw what they are told here.

#include "base/FlashReporter.h"
#include "ui/rules/ConfirmRules.h"

#include <string>

// The title of the confirmation window while a file is being sent.
inline constexpr char kLoadingTitle[] = "Modem Flash Loader - Loading...";

// What a window draws for a check and a run.
class RunView : public MessageUi {
public:
    // The status area: text with the icon of its kind.
    virtual void ShowStatus(const std::string& text, StatusKind kind) = 0;
    virtual void ShowFileInfo(const InfoRow& row) = 0;
    virtual void ShowModemInfo(const InfoRow& row) = 0;
    // The percentage label, the caption beside it, the progress bar (0-100).
    virtual void SetPercentText(const std::string& text) = 0;
    virtual void SetProgressCaption(const std::string& text) = 0;
    virtual void SetProgressPos(int percent) = 0;
    // The bar runs as busy, without a position, so that the window is seen
    // to be alive while the modem says nothing for minutes.
    virtual void SetBusyBar(bool busy) = 0;
    virtual void SetRunState(RunState state) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    // The wait cursor while a file is being sent.
    virtual void SetBusy(bool busy) = 0;
    virtual void Beep(BeepKind kind) = 0;
    // Draws the window now, without handling any input.
    virtual void Repaint() = 0;
    // Handles the window's waiting messages; false when the application has
    // been told to quit, which ends the run.
    virtual bool PumpMessages() = 0;
    // True once the person has asked to stop.
    virtual bool QuitRequested() { return false; }
    // After a failure: what exactly went wrong, beside the failure status.
    virtual void ShowFailureDetail(const std::string& detail) = 0;
    // In sight under the status, where the bar and its labels were: which
    // file the run looked for where, and what to do about it. Empty hides it.
    virtual void ShowFileProblem(const std::string& text) = 0;
};

// Turns the engine's events into what a RunView draws.
class RunPresenter : public FlashReporter {
public:
    explicit RunPresenter(RunView& view) : m_view(view) {}

    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override
    {
        return m_view.ShowMessage(caption, text, icon, buttons);
    }
    void ShowStatus(const std::string& text, StatusKind kind) override;
    void ShowFileInfo(const InfoRow& row) override { m_view.ShowFileInfo(row); }
    void ShowModemInfo(const InfoRow& row) override { m_view.ShowModemInfo(row); }
    void OnChecked(const CheckOutcome& outcome) override;
    void OnPhase(RunPhase phase) override;
    void OnProgress(const RunProgress& progress) override;
    void OnWait(const RunWait& wait) override;
    void OnResult(const RunResult& result) override;
    GoOnAnswer ShouldGoOn() override;

private:
    RunView& m_view;
    RunPhase m_phase = RunPhase::Checking;
    bool m_afterLoader = false;   // the loader was sent: the image starts from 0% again
    int m_lastShown = 1;          // the percent last shown of the file being sent
    bool m_pumpDue = false;       // a new percent is shown: the window gets its turn
    bool m_fileComplete = false;  // the file's last line is acknowledged
    bool m_busy = false;
    bool m_busyBar = false;
};
