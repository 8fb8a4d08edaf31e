#pragma once
// A display for unattended flashing runs: says nothing but failures, and
// answers the retry questions as it is told.

#include "base/FlashReporter.h"

#include <cstdio>
#include <functional>

class QuietReporter : public FlashReporter {
public:
    std::function<bool()> answerYes = [] { return false; };
    bool printFailures = true;

    MsgResult ShowMessage(const std::string&, const std::string&, MsgIcon, MsgButtons buttons) override
    {
        if (buttons == MsgButtons::Ok)
            return MsgResult::Ok;
        ++questions;
        return answerYes() ? MsgResult::Yes : MsgResult::No;
    }
    void ShowStatus(const std::string& text, StatusKind kind) override
    {
        if (kind == StatusKind::Stop && printFailures)
            std::fprintf(stderr, "%s\n", text.c_str());
    }
    void ShowFileInfo(const InfoRow&) override {}
    void ShowModemInfo(const InfoRow&) override {}
    void SetPercentText(const std::string&) override {}
    void SetProgressCaption(const std::string&) override {}
    void SetProgressPos(int) override {}
    void SetRunState(RunState) override {}
    void SetTitle(const std::string&) override {}
    void SetBusy(bool) override {}
    void Beep(BeepKind) override {}
    void Repaint() override {}
    bool PumpMessages() override { return true; }

    int questions = 0;
};
