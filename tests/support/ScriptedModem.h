#pragma once
// A modem played by a test over a real pseudo-terminal: answers each
// CR-terminated command from a table, echoing commands once ATE1 has been
// answered, framed as a verbose modem frames its answers.

#include "tests/support/PtyPeer.h"

#include <map>
#include <string>

class ScriptedModem {
public:
    explicit ScriptedModem(std::map<std::string, std::string> answers) : m_answers(std::move(answers))
    {
        m_peer.Respond([this](const std::string& command) {
            if (command == "ATE1\r" && m_answers.count(command))
                m_echo = true;
            auto found = m_answers.find(command);
            if (found == m_answers.end())
                return std::string();
            return (m_echo ? command : std::string()) + found->second;
        });
    }
    const std::string& Path() const { return m_peer.SlavePath(); }
    std::string Received() { return m_peer.Received(); }

private:
    PtyPeer m_peer;
    std::map<std::string, std::string> m_answers;
    bool m_echo = false;
};

inline const std::string kOk = "\r\nOK\r\n";

// The answers of a modem that passes the whole handshake.
inline std::map<std::string, std::string> FullModem(const std::string& identification)
{
    return {{"AAAAT\r", kOk},
            {"AT\r", kOk},
            {"AT&&F\r", kOk},
            {"ATE1\r", kOk},
            {"ATI\r", "\r\n" + identification + "\r\n" + kOk}};
}
