#pragma once
// The terminal front end: messages go to standard error; a question is asked
// on the terminal when there is one, and answered No otherwise.

#include "base/UserInterface.h"

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

// The search notice on a terminal: one line on standard error that grows by
// each port name as it is probed. Nothing when standard error is no terminal.
class TerminalScanUi : public ScanUi {
public:
    TerminalScanUi();
    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    void ShowSearchNotice() override;
    std::string SearchNoticeText() override { return m_text; }
    void SetSearchNoticeText(const std::string& text) override;
    void CloseSearchNotice() override;
    // A bench's silent ports cost the handshake's time limit once, not once each.
    bool ProbesAllAtOnce() const override { return true; }

private:
    TerminalUi m_ui;
    bool m_live;
    bool m_shown = false;
    std::string m_text;
};
