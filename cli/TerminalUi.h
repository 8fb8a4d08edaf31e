#pragma once
// The terminal front end: messages go to standard error; a question is asked
// on the terminal when there is one, and answered No otherwise.

#include "app/UserInterface.h"

#include <cstdio>

class TerminalUi : public MessageUi {
public:
    explicit TerminalUi(std::FILE* out = stderr, std::FILE* in = stdin) : m_out(out), m_in(in) {}

    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;

private:
    std::FILE* m_out;
    std::FILE* m_in;
};
