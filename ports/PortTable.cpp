#include "ports/PortTable.h"

#include "ports/platform/DeviceSource.h"
#include "serial/PortNames.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

PortEntry PortTable[MAX_PORTS];

namespace {

struct DirectoryEntry {
    std::string target;    // where the link points
    std::string resolved;  // the device it leads to now; empty when dangling
};

std::string Resolved(const std::string& path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) != nullptr ? buffer : "";
}

// The COMn entries of the port directory; false when it cannot be read.
bool ReadPortDirectory(const std::string& directory, std::map<int, DirectoryEntry>& entries)
{
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return false;
    while (dirent* item = ::readdir(dir)) {
        int number = ComPortNumber(item->d_name);
        if (number == 0 || ComPortName(number) != item->d_name)
            continue;
        std::string path = directory + "/" + item->d_name;
        char target[PATH_MAX];
        ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
        if (length < 0)
            continue;
        target[length] = '\0';
        entries[number] = {target, Resolved(path)};
    }
    ::closedir(dir);
    return true;
}

bool SameDevice(const DirectoryEntry& entry, const SerialDevice& device)
{
    if (entry.target == device.node || (!device.stableLink.empty() && entry.target == device.stableLink))
        return true;
    return !entry.resolved.empty() && entry.resolved == Resolved(device.node);
}

bool IsPseudoTerminal(const std::string& path)
{
    return path.rfind("/dev/pts/", 0) == 0;
}

// Gives the device the lowest COM number that has no entry, and records it
// in the port directory so that it keeps that name. 0 when none is left or
// the entry cannot be made.
int Assign(const std::string& directory, const SerialDevice& device, std::map<int, DirectoryEntry>& entries)
{
    for (int number = 1; number <= 9; ++number) {
        if (entries.count(number) != 0)
            continue;
        std::string target = device.stableLink.empty() ? device.node : device.stableLink;
        ::mkdir(directory.c_str(), 0755);
        if (::symlink(target.c_str(), (directory + "/" + ComPortName(number)).c_str()) != 0) {
            if (errno == EEXIST)
                continue;  // taken meanwhile by another program
            return 0;
        }
        entries[number] = {target, Resolved(target)};
        return number;
    }
    return 0;
}

void Fill(int row, const std::string& name, const std::string& display)
{
    PortTable[row].portName = name;
    PortTable[row].displayText = display;
}

} // namespace

void EnumComPorts(DeviceSource& source)
{
    for (PortEntry& row : PortTable)
        row = PortEntry{};

    std::vector<SerialDevice> devices;
    bool registry = source.ListDevices(devices);
    std::string directory = PortDirectory();
    std::map<int, DirectoryEntry> entries;
    bool directoryRead = ReadPortDirectory(directory, entries);

    if (!registry && !directoryRead) {
        for (int i = 0; i < MAX_PORTS; ++i)
            Fill(i, ComPortName(i + 1), ComPortName(i + 1));
        return;
    }

    // COM number -> what the port list says about the port.
    std::map<int, std::string> listed;
    for (const SerialDevice& device : devices) {
        int number = 0;
        for (const auto& [n, entry] : entries)
            if (SameDevice(entry, device)) {
                number = n;
                break;
            }
        if (number == 0)
            number = Assign(directory, device, entries);
        if (number == 0 || listed.count(number) != 0)
            continue;
        std::string description = device.description;
        if (!device.problem.empty())
            description += ": " + device.problem;
        listed[number] = description;
    }
    // Simulated modems sit on pseudo-terminals, which the registry does not
    // list; their entries do. One whose simulator has gone is listed all the
    // same, and the probe finds nothing there. Entries made by hand for other
    // devices are listed while their device is there.
    for (const auto& [number, entry] : entries) {
        if (listed.count(number) != 0)
            continue;
        if (IsPseudoTerminal(entry.target))
            listed[number] = "simulated modem (" + entry.target + ")";
        else if (!entry.resolved.empty())
            listed[number] = entry.target;
    }

    int row = 0;
    for (const auto& [number, description] : listed) {
        if (row == MAX_PORTS)
            break;
        std::string name = ComPortName(number);
        Fill(row++, name, name + " -- " + description);
    }
}
