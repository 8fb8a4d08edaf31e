#pragma once
// A front end whose answers are given in advance and which records what was
// shown, so that start-up and the engine run headless.

#include "app/UserInterface.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class ScriptedUi : public StartupUi {
public:
    struct Message {
        std::string caption;
        std::string text;
        MsgIcon icon;
        MsgButtons buttons;
    };

    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override
    {
        messages.push_back({caption, text, icon, buttons});
        events.push_back("message");
        if (buttons == MsgButtons::Ok)
            return MsgResult::Ok;
        if (answers.empty())
            return MsgResult::No;
        MsgResult answer = answers.front();
        answers.pop_front();
        return answer;
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

    std::vector<Message> messages;
    std::vector<std::string> events;  // "message", "notice", "notice closed", "confirm", "wizard"
    std::deque<MsgResult> answers;    // for Yes/No questions; No when run out
    bool noticeShown = false;
    std::string noticeText;
    std::vector<std::string> noticeTexts;  // every text the notice was given
    int confirmResult = IDCANCEL;
    std::function<void()> onConfirm;
    std::function<void()> onWizard;
};
