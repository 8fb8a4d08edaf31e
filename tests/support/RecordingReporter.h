#pragma once
// A display for the flashing engine that records everything it is told and
// answers the retry questions from a script.

#include "base/FlashReporter.h"
#include "tests/support/ScriptedAnswers.h"

#include <deque>
#include <string>
#include <vector>

class RecordingReporter : public FlashReporter, public ScriptedAnswers {
public:
    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override
    {
        return Answer(caption, text, icon, buttons);
    }
    void ShowStatus(const std::string& text, StatusKind kind) override
    {
        statuses.push_back(text);
        statusKind = kind;
    }
    void ShowFileInfo(const InfoRow& row) override { fileRow = row; }
    void ShowModemInfo(const InfoRow& row) override { modemRow = row; }
    void SetPercentText(const std::string& text) override { percentTexts.push_back(text); }
    void SetProgressCaption(const std::string& text) override { captions.push_back(text); }
    void SetProgressPos(int percent) override { progress = percent; }
    void SetRunState(RunState state) override { states.push_back(state); }
    void SetTitle(const std::string& text) override { title = text; }
    void SetBusy(bool busy) override { this->busy = busy; }
    void Beep(BeepKind kind) override { beeps.push_back(kind); }
    void Repaint() override { ++repaints; }
    bool PumpMessages() override
    {
        ++pumps;
        return pumps != quitAtPump;
    }

    bool QuitRequested() override { return quit; }
    void ShowFailureDetail(const std::string& text) override { detail = text; }
    void OnModemWait(ModemWait what, std::uint32_t waitedMs) override
    {
        if (waitedMs == 0)
            waits.push_back(what);
    }

    std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

    int quitAtPump = -1;  // the pump that reports "quit"
    bool quit = false;    // what QuitRequested says
    std::string detail;   // the failure detail shown
    std::vector<ModemWait> waits;  // the long waits begun

    std::vector<std::string> statuses;
    StatusKind statusKind = StatusKind::Info;
    InfoRow fileRow;
    InfoRow modemRow;
    std::vector<std::string> percentTexts;
    std::vector<std::string> captions;
    int progress = -1;
    std::vector<RunState> states;
    std::string title;
    bool busy = false;
    std::vector<BeepKind> beeps;
    int repaints = 0;
    int pumps = 0;
};
