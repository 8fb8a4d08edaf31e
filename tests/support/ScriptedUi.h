#pragma once
// A front end whose answers are given in advance and which records what was
// shown, so that start-up and the engine run headless.

#include "base/UserInterface.h"
#include "tests/support/ScriptedAnswers.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class ScriptedUi : public StartupUi, public ScriptedAnswers {
public:
    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override
    {
        events.push_back("message");
        return Answer(caption, text, icon, buttons);
    }

    void ShowSearchNotice() override
    {
        events.push_back("notice");
        noticeShown = true;
    }
    std::string SearchNoticeText() override { return noticeText; }
    void SetSearchNoticeText(const std::string& text) override
    {
        noticeText = text;
        noticeTexts.push_back(text);
    }
    void CloseSearchNotice() override
    {
        events.push_back("notice closed");
        noticeShown = false;
    }

    int RunConfirmDlg() override
    {
        events.push_back("confirm");
        if (onConfirm)
            onConfirm();
        return confirmResult;
    }

    void RunWizard(CLoaderApp& /*app*/) override
    {
        events.push_back("wizard");
        if (onWizard)
            onWizard();
    }

    std::vector<std::string> events;  // "message", "notice", "notice closed", "confirm", "wizard"
    bool noticeShown = false;
    std::string noticeText;
    std::vector<std::string> noticeTexts;  // every text the notice was given
    int confirmResult = IDCANCEL;
    std::function<void()> onConfirm;
    std::function<void()> onWizard;
};
