#include "serial/PortDiagnosis.h"

#include "serial/PortNames.h"
#include "serial/SerialLink.h"

#ifndef _WIN32
#include <climits>

#include <unistd.h>
#endif

namespace sp = serial_platform;

namespace {

// The words that differ between the systems: how a port is named to the
// person, and what to do about a port that is absent or taken.
#ifdef _WIN32

// The device path (\\.\COM5) is only how the name is opened.
std::string Named(std::string_view portName, const std::string&) { return std::string(portName); }

std::string NotAPortName(std::string_view portName)
{
    return "\"" + std::string(portName) + "\" is not a port name: use a COM port name such as COM1.";
}

std::string NoSuchPortText(std::string_view, const std::string& name)
{
    return "No such port: " + name +
           " does not exist. Check that the modem is plugged in and see Device Manager "
           "for its COM name.";
}

// Windows answers "access denied" both for a port that another program
// holds and for one this account may not open, and does not show the holder.
std::string BusyText(const std::string&, const std::string& name)
{
    return name + " is in use by another program (or access was refused). Close that program and try again.";
}

#else

// COMn is an entry of the port directory: the person knows the device it
// leads to (/dev/ttyUSB0, a by-id name), not the entry's own path.
std::string Named(std::string_view portName, const std::string& device)
{
    std::string name(portName);
    std::string shown = device;
    char target[PATH_MAX];
    ssize_t length = ::readlink(device.c_str(), target, sizeof target);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof target)
        shown.assign(target, static_cast<std::size_t>(length));
    if (shown != name)
        name += " (" + shown + ")";
    return name;
}

std::string NotAPortName(std::string_view portName)
{
    return "\"" + std::string(portName) + "\" is not a port name: use COM1 to COM9 or a device path.";
}

std::string NoSuchPortText(std::string_view portName, const std::string& name)
{
    return "No such port: " + name + " does not exist. Check that the modem is plugged in" +
           (ComPortNumber(portName) != 0 ? ", or register the port in " + PortDirectory() : std::string()) + ".";
}

std::string BusyText(const std::string& device, const std::string& name)
{
    sp::PortHolder holder;  // stays empty when the holder cannot be seen
    sp::FindPortHolder(device, holder);
    return PortInUseText(name, holder);
}

#endif

}  // namespace

std::string PortInUseText(const std::string& name, const serial_platform::PortHolder& holder)
{
    if (holder.pid <= 0 || holder.name.empty())
        return name + " is in use by another program. Close that program and try again.";
    std::string text = name + " is in use by " + holder.name + " (pid " + std::to_string(holder.pid) + ").";
    // The desktop's modem manager opens every new modem-like port to probe
    // it, and keeps those that answer AT commands: ours do.
    if (holder.name == "ModemManager")
        return text + " ModemManager takes modems for itself: tell it to leave this port alone with the udev "
                      "property ID_MM_DEVICE_IGNORE=\"1\" (see the README), or stop it for now with "
                      "\"sudo systemctl stop ModemManager\", then try again.";
    return text + " Close that program and try again.";
}

std::string DescribePortProblem(std::string_view portName)
{
    std::string device = ResolvePortDevice(portName);
    if (device.empty()) {
        std::string refusal = PortNameRefusal(portName);
        return refusal.empty() ? NotAPortName(portName) : refusal;
    }
    std::string name = Named(portName, device);

    PortHandle port = kInvalidPort;
    switch (sp::OpenDevice(device, port)) {
    case sp::OpenResult::Ok:
        break;
    case sp::OpenResult::NotFound:
        return NoSuchPortText(portName, name);
    case sp::OpenResult::Busy:
        return BusyText(device, name);
    case sp::OpenResult::PermissionDenied:
        return "Permission denied for " + name +
               ". Join the dialout group (sudo usermod -aG dialout $USER), then log in again.";
    case sp::OpenResult::NotASerialPort: {
        std::string kind = sp::NotASerialPortKind();
        return name + " is not a serial port" + (kind.empty() ? "." : ": it is " + kind + ".");
    }
    case sp::OpenResult::Failed:
        return name + " cannot be opened: " + sp::LastErrorText() + ".";
    }
    sp::CloseDevice(port);

    SerialLink link;
    LineSettings settings;
    settings.BaudRate = 57600;
    if (link.OpenPort(portName, settings, port) != OpenStatus::Ok)
        return name + " does not accept the line settings (8 data bits, no parity, one stop bit at 57600 baud).";
    std::uint32_t status = 0;
    bool known = link.GetCommModemStatus(port, status);
    link.ClosePort(port);
    if (!known || (status & (sp::kCtsOn | sp::kDsrOn)) == 0)
        return "No modem signals on " + name +
               " (CTS and DSR are off). Check that the modem is connected and switched on.";
    return {};
}

std::string StaleLockNote(std::string_view portName)
{
    std::string device = ResolvePortDevice(portName);
    if (device.empty())
        return {};
    return sp::StaleLockNote(device, "/var/lock", "/proc");
}
