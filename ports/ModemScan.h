#pragma once
// Finding the modems: the handshake on one port, and the scan that lists the
// machine's ports into PortTable and probes them. CLoaderApp's probe and
// scan are these.

#include "serial/ModemProtocol.h"

#include <string>
#include <string_view>
#include <vector>

class DeviceSource;
class RegistryAccess;
class ScanUi;
struct PortEntry;

namespace modem_scan {

// The modem handshake at 57600 baud on one port: 1 when a supported modem
// answered all of it, with its identification text set; 0 when not, or
// when the port cannot be used (identification untouched). The port is
// open only during the call. limits: the time each answer is given, the
// line's own unless a test drives a far end of its own.
int ProbeModem(std::string_view portName, std::string& identification,
               const modem_protocol::LineTimeLimits& limits = {});

// The identification in an answer to ATI with echo: the echoed "ATI" and its
// CR and the line end after it (6 bytes), the text, two line ends (4 bytes)
// and "OK". Without the echo the cut comes out empty.
std::string CutIdentification(std::string_view reply);

// Lists the ports into PortTable and probes every row under the search
// notice, marking those where a modem answered. 1 when at least one did; 0
// after telling the person that none did. Without a source the ports come
// from the system's device registry: udev and the port directory on Linux,
// the system registry on Windows. limits: as for ProbeModem.
int ScanForModems(ScanUi& ui);
#ifndef _WIN32
int ScanForModems(ScanUi& ui, DeviceSource& devices, const modem_protocol::LineTimeLimits& limits = {});
#endif
int ScanForModems(ScanUi& ui, RegistryAccess& registry, const modem_protocol::LineTimeLimits& limits = {});

// Every port of the machine (ListAllPorts, no limit of eight rows) probed at
// the same time, each marked where a modem answered, in listing order: the
// command line's scan and its bench. The list says what it probes on ui's
// search notice; no message is shown.
std::vector<PortEntry> ScanAllPorts(ScanUi& ui, const modem_protocol::LineTimeLimits& limits = {});

}  // namespace modem_scan
