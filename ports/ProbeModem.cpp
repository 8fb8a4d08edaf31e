#include "ports/ModemScan.h"

#include "serial/SerialLink.h"

#include <cstdint>

namespace mp = modem_protocol;

std::string modem_scan::CutIdentification(std::string_view text) { return mp::CutIdentification(text); }

int modem_scan::ProbeModem(std::string_view portName, std::string& identification,
                           const modem_protocol::LineTimeLimits& limits)
{
    SerialLink link;
    PortHandle port = kInvalidPort;
    LineSettings settings;
    settings.BaudRate = 57600;
    if (link.OpenPort(portName, settings, port) != OpenStatus::Ok)
        return 0;

    int result = 0;
    std::uint32_t status = 0;
    if (link.GetCommModemStatus(port, status) && (status & (serial_platform::kCtsOn | serial_platform::kDsrOn)) != 0) {
        ReplyBuffer reply;
        bool answered = true;
        for (const mp::HandshakeStep& step : mp::kHandshake) {
            if (step.scanLimit == nullptr)
                continue;
            ReplyStatus r =
                link.SendCommand(port, step.command, reply, mp::kCommandOk, kReplyLimit, limits.*step.scanLimit);
            if (step.mustAnswer && r != ReplyStatus::Ok) {
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
