#include "serial/PortDiagnosis.h"

#include "serial/PortNames.h"
#include "serial/SerialLink.h"

#include <vector>

#ifndef _WIN32
#include <climits>

#include <grp.h>
#include <sys/stat.h>
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
std::string BusyText(const std::string&, const std::string& name, std::string& brief)
{
    brief = "in use by another program";
    return name + " is in use by another program (or access was refused). Close that program and try again.";
}

std::string PermissionText(const std::string&, const std::string& name, std::string& brief)
{
    brief = "no permission";
    return "Permission denied for " + name + ". Ask an administrator for access to the port.";
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
    return "\"" + std::string(portName) + "\" is not a port name: use COM1 to COM256 or a device path.";
}

std::string NoSuchPortText(std::string_view portName, const std::string& name)
{
    return "No such port: " + name + " does not exist. Check that the modem is plugged in" +
           (ComPortNumber(portName) != 0 ? ", or register the port in " + PortDirectory() : std::string()) + ".";
}

std::string BusyText(const std::string& device, const std::string& name, std::string& brief)
{
    sp::PortHolder holder;  // stays empty when the holder cannot be seen
    sp::FindPortHolder(device, holder);
    brief = holder.name.empty() ? "in use by another program"
                                : "in use by " + holder.name + " (pid " + std::to_string(holder.pid) + ")";
    return PortInUseText(name, holder);
}

std::string PermissionText(const std::string& device, const std::string& name, std::string& brief)
{
    const std::string group = DeviceGroup(device);
    brief = group.empty() ? "no permission" : "no permission: group " + group;
    if (group.empty())
        return "Permission denied for " + name + ". Ask an administrator for access to the port.";
    return "Permission denied for " + name + ": it belongs to the group " + group + ". Join it (sudo usermod -aG " +
           group + " $USER), then log in again.";
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

#ifndef _WIN32
std::string DeviceGroup(const std::string& device)
{
    struct stat info {};
    // Only a group whose members may read and write the device is worth
    // joining; root's group never is.
    const mode_t groupReadWrite = S_IRGRP | S_IWGRP;
    if (::stat(device.c_str(), &info) != 0 || info.st_gid == 0 || (info.st_mode & groupReadWrite) != groupReadWrite)
        return {};
    // getgrgid_r: the scan asks from several threads at once.
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return std::to_string(info.st_gid);
    return found->gr_name;
}
#endif

PortProblem DiagnosePort(std::string_view portName)
{
    PortProblem problem;
    std::string device = ResolvePortDevice(portName);
    if (device.empty()) {
        std::string refusal = PortNameRefusal(portName);
        problem.brief = refusal.empty() ? "not a port name" : "not used";
        problem.text = refusal.empty() ? NotAPortName(portName) : refusal;
        return problem;
    }
    std::string name = Named(portName, device);

    PortHandle port = kInvalidPort;
    switch (sp::OpenDevice(device, port)) {
    case sp::OpenResult::Ok:
        break;
    case sp::OpenResult::NotFound:
        return {NoSuchPortText(portName, name), "missing"};
    case sp::OpenResult::Busy:
        problem.text = BusyText(device, name, problem.brief);
        return problem;
    case sp::OpenResult::PermissionDenied:
        problem.text = PermissionText(device, name, problem.brief);
        return problem;
    case sp::OpenResult::NotASerialPort: {
        std::string kind = sp::NotASerialPortKind();
        return {name + " is not a serial port" + (kind.empty() ? "." : ": it is " + kind + "."), "not a serial port"};
    }
    case sp::OpenResult::Failed:
        return {name + " cannot be opened: " + sp::LastErrorText() + ".", "cannot be opened"};
    }
    sp::CloseDevice(port);

    SerialLink link;
    LineSettings settings;
    settings.BaudRate = 57600;
    if (link.OpenPort(portName, settings, port) != OpenStatus::Ok)
        return {name + " does not accept the line settings (8 data bits, no parity, one stop bit at 57600 baud).",
                "line settings refused"};
    std::uint32_t status = 0;
    bool known = link.GetCommModemStatus(port, status);
    link.ClosePort(port);
    if (!known || (status & (sp::kCtsOn | sp::kDsrOn)) == 0)
        return {"No modem signals on " + name +
                    " (CTS and DSR are off). Check that the modem is connected and switched on.",
                "no modem signals"};
    return {};
}

std::string DescribePortProblem(std::string_view portName) { return DiagnosePort(portName).text; }

std::string StaleLockNote(std::string_view portName)
{
    std::string device = ResolvePortDevice(portName);
    if (device.empty())
        return {};
    return sp::StaleLockNote(device, "/var/lock", "/proc");
}
