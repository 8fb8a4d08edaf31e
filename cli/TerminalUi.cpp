#include "cli/TerminalUi.h"

#include "cli/Printable.h"

#include <unistd.h>

MsgResult TerminalUi::ShowMessage(const std::string& caption, const std::string& text, MsgIcon /*icon*/,
                                  MsgButtons buttons)
{
    std::fprintf(m_out, "%s: %s\n", caption.c_str(), Printable(text, true).c_str());
    if (buttons == MsgButtons::Ok)
        return MsgResult::Ok;
    if (!::isatty(::fileno(m_in)))
        return MsgResult::No;
    std::fprintf(m_out, "[y/N] ");
    std::fflush(m_out);
    char answer[16] = {};
    if (std::fgets(answer, sizeof answer, m_in) == nullptr)
        return MsgResult::No;
    return (answer[0] == 'y' || answer[0] == 'Y') ? MsgResult::Yes : MsgResult::No;
}

TerminalScanUi::TerminalScanUi() : m_live(::isatty(::fileno(stderr)) != 0) {}

MsgResult TerminalScanUi::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                      MsgButtons buttons)
{
    return m_ui.ShowMessage(caption, text, icon, buttons);
}

void TerminalScanUi::ShowSearchNotice()
{
    m_shown = true;
    m_text.clear();
    if (m_live)
        std::fprintf(stderr, "Searching for modems...");
}

void TerminalScanUi::SetSearchNoticeText(const std::string& text)
{
    m_text = text;
    if (m_live && m_shown) {
        std::fprintf(stderr, "\rSearching for modems...%s", text.c_str());
        std::fflush(stderr);
    }
}

void TerminalScanUi::CloseSearchNotice()
{
    if (m_live && m_shown)
        std::fprintf(stderr, "\n");
    m_shown = false;
}
