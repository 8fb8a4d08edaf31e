#pragma once
// The message boxes of a test double: each one recorded, and the Yes/No
// questions answered from a script (No when the script has run out).

#include "base/UserInterface.h"

#include <deque>
#include <string>
#include <vector>

class ScriptedAnswers {
public:
    struct Message {
        std::string caption;
        std::string text;
        MsgIcon icon;
        MsgButtons buttons;
        std::string Line() const { return caption + ": " + text; }
    };

    MsgResult Answer(const std::string& caption, const std::string& text, MsgIcon icon, MsgButtons buttons)
    {
        messages.push_back({caption, text, icon, buttons});
        if (buttons == MsgButtons::Ok)
            return MsgResult::Ok;
        if (answers.empty())
            return MsgResult::No;
        MsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // "caption: text" of every message, in order.
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (const Message& message : messages)
            lines.push_back(message.Line());
        return lines;
    }

    std::deque<MsgResult> answers;
    std::vector<Message> messages;
};
