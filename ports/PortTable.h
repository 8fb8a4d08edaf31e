#pragma once
// The table of the machine's COM ports, refilled by every scan: at most
// eight rows, the used ones first, ended by the first row without a name.

#include "ports/platform/Registry.h"

#include <cstdint>
#include <string>
#include <vector>

class DeviceSource;

inline constexpr int MAX_PORTS = 8;

struct PortEntry {
    std::string identification;   // what the modem said about itself; empty without a modem
    std::string portName;         // COM1 ... COM256, or the device path of a device without a COM name
    std::string displayText;      // "COMn -- description" for the port list
    std::int32_t modemFound = 0;  // 1 when a modem answered the handshake here
};

extern PortEntry PortTable[MAX_PORTS];

// Lists the serial devices of source and the simulated modems of the port
// directory into PortTable, in COM-number order. A device without a COM name
// gets one that is kept in the port directory for the next runs: /dev/ttyS(n-1)
// the COMn it means without an entry, other devices the lowest free one, and
// when none is free the one whose device has been gone longest. A device that
// cannot be named is listed under its device path, its display text saying
// why. When neither the device registry nor the port directory can be read,
// the rows are COM1 to COM8 and the probe sorts them out.
void EnumComPorts(DeviceSource& source);

// Every port, as EnumComPorts names and orders them but without the
// table's limit of eight, for the command line's scan and bench; on Linux
// without the gone simulators and refused names that the table shows.
std::vector<PortEntry> ListAllPorts(DeviceSource& source);
std::vector<PortEntry> ListAllPorts(RegistryAccess& registry);

// COM1 to COM8, each shown under its name: the rows of a machine whose
// device lists cannot be read, for the probe to sort out.
std::vector<PortEntry> FixedPortNames();

// Lists the ports of the system registry into PortTable, at most eight. The
// running-device tree of the Windows 95 family gives its working devices
// with a port name, printer ports left out, in the tree's order, shown as
// "name -- description". Where there is no such tree, the serial device map
// of the NT family gives the present ports in COM-number order, shown with
// their friendly names; without that as well the rows are COM1 to COM8.
void EnumComPorts(RegistryAccess& registry);

// Sets text to the string value valueName of the key path below root, up to
// its first zero byte and whatever the value's type. Empty when the key
// cannot be opened, the value is not there or is longer than 200 bytes.
void ReadRegString(RegistryAccess& registry, RegKey root, const std::string& path, const std::string& valueName,
                   std::string& text);
