#pragma once
// A display for the flashing engine that records every event it is told,
// and what the windows would draw of them (through the windows' own
// presenter), and answers the retry questions from a script.

#include "base/FlashReporter.h"
#include "tests/support/ScriptedAnswers.h"
#include "ui/rules/RunPresenter.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

// What a RecordingReporter has recorded.
struct RecordedRun {
    int quitAtPump = -1;           // the pump that reports "quit"
    bool quit = false;             // what QuitRequested says
    std::string detail;            // the failure detail shown
    std::string fileProblem;       // the file problem in sight under the status
    std::vector<ModemWait> waits;  // the long waits begun

    // The events as the engine told them.
    std::vector<CheckOutcome> checks;
    std::vector<RunPhase> phases;
    std::vector<RunProgress> steps;
    std::vector<RunWait> waitEvents;
    std::vector<RunResult> results;

    // What a window would have drawn.
    std::vector<std::string> statuses;
    StatusKind statusKind = StatusKind::Info;
    InfoRow fileRow;
    InfoRow modemRow;
    std::vector<std::string> percentTexts;
    std::vector<std::string> captions;
    int progress = -1;
    bool busyBar = false;
    std::vector<RunState> states;
    std::string title;
    bool busy = false;
    std::vector<BeepKind> beeps;
    int repaints = 0;
    int pumps = 0;
};

class RecordingReporter : public FlashReporter, public ScriptedAnswers, public RecordedRun {
public:
    RecordingReporter() = default;
    // A fresh recorder put in the place of this one: what the presenter
    // draws still comes here.
    RecordingReporter& operator=(RecordingReporter&& other)
    {
        static_cast<ScriptedAnswers&>(*this) = std::move(other);
        static_cast<RecordedRun&>(*this) = std::move(other);
        m_presenter = std::make_unique<RunPresenter>(m_view);
        return *this;
    }

    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override
    {
        return m_presenter->ShowMessage(caption, text, icon, buttons);
    }
    void ShowStatus(const std::string& text, StatusKind kind) override { m_presenter->ShowStatus(text, kind); }
    void ShowFileInfo(const InfoRow& row) override { m_presenter->ShowFileInfo(row); }
    void ShowModemInfo(const InfoRow& row) override { m_presenter->ShowModemInfo(row); }
    void OnChecked(const CheckOutcome& outcome) override
    {
        checks.push_back(outcome);
        m_presenter->OnChecked(outcome);
    }
    void OnPhase(RunPhase phase) override
    {
        phases.push_back(phase);
        m_presenter->OnPhase(phase);
    }
    void OnProgress(const RunProgress& step) override
    {
        steps.push_back(step);
        m_presenter->OnProgress(step);
    }
    void OnWait(const RunWait& wait) override
    {
        if (wait.waitedMs == 0)
            waits.push_back(wait.what);
        waitEvents.push_back(wait);
        m_presenter->OnWait(wait);
    }
    void OnResult(const RunResult& result) override
    {
        results.push_back(result);
        m_presenter->OnResult(result);
    }
    GoOnAnswer ShouldGoOn() override { return m_presenter->ShouldGoOn(); }

    std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

private:
    // The window's side: what the presenter has it draw goes into the
    // fields above.
    class View : public RunView {
    public:
        explicit View(RecordingReporter& r) : m_r(r) {}
        MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                              MsgButtons buttons = MsgButtons::Ok) override
        {
            return m_r.Answer(caption, text, icon, buttons);
        }
        void ShowStatus(const std::string& text, StatusKind kind) override
        {
            m_r.statuses.push_back(text);
            m_r.statusKind = kind;
        }
        void ShowFileInfo(const InfoRow& row) override { m_r.fileRow = row; }
        void ShowModemInfo(const InfoRow& row) override { m_r.modemRow = row; }
        void SetPercentText(const std::string& text) override { m_r.percentTexts.push_back(text); }
        void SetProgressCaption(const std::string& text) override { m_r.captions.push_back(text); }
        void SetProgressPos(int percent) override { m_r.progress = percent; }
        void SetBusyBar(bool busy) override { m_r.busyBar = busy; }
        void SetRunState(RunState state) override { m_r.states.push_back(state); }
        void SetTitle(const std::string& text) override { m_r.title = text; }
        void SetBusy(bool busy) override { m_r.busy = busy; }
        void Beep(BeepKind kind) override { m_r.beeps.push_back(kind); }
        void Repaint() override { ++m_r.repaints; }
        bool PumpMessages() override
        {
            ++m_r.pumps;
            return m_r.pumps != m_r.quitAtPump;
        }
        bool QuitRequested() override { return m_r.quit; }
        void ShowFailureDetail(const std::string& text) override { m_r.detail = text; }
        void ShowFileProblem(const std::string& text) override { m_r.fileProblem = text; }

    private:
        RecordingReporter& m_r;
    };

    View m_view{*this};
    std::unique_ptr<RunPresenter> m_presenter = std::make_unique<RunPresenter>(m_view);
};
