// Port names on Windows: the system names its ports itself (COM1, COM12,
// whatever a driver registered), and they are opened in the device
// namespace, \\.\NAME. That form is needed from COM10 on and works for
// every port; under Wine it leads to the prefix's dosdevices/comN link.

#include "serial/PortNames.h"

#include "base/Text.h"

namespace {

constexpr std::string_view kDeviceNamespace = "\\\\.\\";

// A device name as ports carry them: letters, digits, and the odd - or _
// of a virtual port driver's names.
bool IsDeviceName(std::string_view name)
{
    if (name.empty())
        return false;
    for (char c : name) {
        bool allowed =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!allowed)
            return false;
    }
    return true;
}

}  // namespace

// There is no port directory on Windows: the ports are the system's.
std::string PortDirectory() { return {}; }

bool MakePortDirectory(std::string& error)
{
    error = "there is no port directory on Windows: the ports are the system's COM ports (see Device Manager)";
    return false;
}

std::string ResolvePortDevice(std::string_view portName)
{
    if (portName.size() > kDeviceNamespace.size() && portName.substr(0, kDeviceNamespace.size()) == kDeviceNamespace)
        return std::string(portName);
    if (!IsDeviceName(portName))
        return {};
    // COMn in the spelling Device Manager shows, whatever case was typed.
    std::string name(portName);
    std::string prefix = ToUpperAscii(name.substr(0, 3));
    if (prefix == "COM" && name.size() > 3 && name.find_first_not_of("0123456789", 3) == std::string::npos)
        name.replace(0, 3, prefix);
    return std::string(kDeviceNamespace) + name;
}

// The system's port names are nobody's to redirect.
std::string PortDirectoryRefusal() { return {}; }

std::string PortNameRefusal(std::string_view) { return {}; }

std::string PortEntryRefusal(std::string_view) { return {}; }
