#pragma once
// Answers the windows' message boxes and open-file dialogs from a script and
// records what they were asked, so that window tests run without anyone
// pressing a key in a dialog.

#include "tests/support/ScriptedAnswers.h"
#include "ui/qt/UiDialogs.h"

#include <deque>
#include <string>
#include <vector>

class ScriptedDialogs : public UiDialogs, public ScriptedAnswers {
public:
    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override
    {
        return Answer(caption, text, icon, buttons);
    }

    bool GetOpenFileName(const OpenFileRequest& request, std::string& chosen) override
    {
        requests.push_back(request);
        if (files.empty())
            return false;
        chosen = files.front();
        files.pop_front();
        return !chosen.empty();
    }

    std::deque<std::string> files;  // for open-file dialogs; "" or none cancels
    std::vector<OpenFileRequest> requests;
};
