#include "ports/ModemScan.h"

#include "serial/SerialLink.h"

#include <cstdint>

namespace {

struct HandshakeStep {
    std::string_view command;
    unsigned seconds;
    bool mustAnswer;
};

// "AAAAT" wakes a modem that detects the baud rate from what it receives;
// its answer does not matter. ATE1 switches the echo on, which the
// identification cut below relies on, but a modem that ignores it may still
// pass. The ampersands are doubled on purpose: that is the modem's command.
constexpr HandshakeStep kHandshake[] = {
    {"AAAAT\r", 2, false},
    {"AT\r", 1, true},
    {"AT&&F\r", 1, true},
    {"ATE1\r", 1, false},
    {"ATI\r", 1, true},
};

} // namespace

std::string modem_scan::CutIdentification(std::string_view text)
{
    std::size_t ok = text.find("OK");
    if (ok == std::string_view::npos || ok < 4 + 6)
        return {};
    return std::string(text.substr(6, ok - 4 - 6));
}

int modem_scan::ProbeModem(std::string_view portName, std::string& identification)
{
    SerialLink link;
    PortHandle port = kInvalidPort;
    LineSettings settings;
    settings.BaudRate = 57600;
    if (link.OpenPort(portName, settings, port) != kOpenOk)
        return 0;

    int result = 0;
    std::uint32_t status = 0;
    if (link.GetCommModemStatus(port, status) &&
        (status & (serial_platform::kCtsOn | serial_platform::kDsrOn)) != 0) {
        ReplyBuffer reply;
        bool answered = true;
        for (const HandshakeStep& step : kHandshake) {
            int r = link.SendCommand(port, step.command, reply, "OK\r\n", kReplyLimit, step.seconds);
            if (step.mustAnswer && r != kReplyOk) {
                answered = false;
                break;
            }
        }
        if (answered) {
            identification = CutIdentification(reply.Text());
            result = 1;
        }
    }
    link.ClosePort(port);
    return result;
}
