#pragma once
// A display for unattended flashing runs: says nothing but failures, and
// answers the retry questions as it is told.

#include "flash/FlashReporter.h"
#include "flash/FlashSession.h"

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
    void OnResult(const RunResult& result) override
    {
        if (result.outcome != RunOutcome::Succeeded && printFailures)
            std::fprintf(stderr, "%s\n", RunResultStatus(result).c_str());
    }

    int questions = 0;
};
