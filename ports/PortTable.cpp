#include "ports/PortTable.h"

#include "ports/platform/DeviceSource.h"
#include "serial/PortNames.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// COM1 to COM9: every name a port can have.
constexpr int kComNames = 9;

struct DirectoryEntry {
    std::string target;    // where the link points; empty for an entry that is no link
    std::string resolved;  // the device it leads to now; empty when dangling
    timespec seen{};       // the link's own time: when its device was last found present
    bool present = false;  // its device is there, or the entry is not ours to give away
    bool named = false;    // a listed device goes by this name
    std::string refusal;   // why the name may not be used (PortNameRefusal); the entry is then not followed
};

std::string Resolved(const std::string& path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) != nullptr ? buffer : "";
}

// The COMn entries of the port directory; false when it cannot be read.
// An entry that may not be used (the directory or the entry is another
// user's to change) keeps its name taken and is neither followed nor
// touched. directoryRefusal: PortDirectoryRefusal, asked once for the scan.
bool ReadPortDirectory(const std::string& directory, const std::string& directoryRefusal,
                       std::map<int, DirectoryEntry>& entries)
{
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return false;
    while (dirent* item = ::readdir(dir)) {
        int number = ComPortNumber(item->d_name);
        if (number == 0 || ComPortName(number) != item->d_name)
            continue;
        std::string path = directory + "/" + item->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0)
            continue;
        DirectoryEntry entry;
        entry.refusal = directoryRefusal.empty() ? PortEntryRefusal(item->d_name) : directoryRefusal;
        if (!entry.refusal.empty()) {
            entry.present = true;
            entries[number] = entry;
            continue;
        }
        char target[PATH_MAX];
        ssize_t length = S_ISLNK(info.st_mode) ? ::readlink(path.c_str(), target, sizeof target - 1) : -1;
        if (length >= 0) {
            target[length] = '\0';
            entry.target = target;
            entry.resolved = Resolved(path);
            entry.seen = info.st_mtim;
        } else {
            entry.present = true;  // something made by hand that is no link: the name stays taken
        }
        entries[number] = entry;
    }
    ::closedir(dir);
    return true;
}

bool SameDevice(const DirectoryEntry& entry, const SerialDevice& device)
{
    if (entry.target.empty())
        return false;
    if (entry.target == device.node || (!device.stableLink.empty() && entry.target == device.stableLink))
        return true;
    return !entry.resolved.empty() && entry.resolved == Resolved(device.node);
}

bool IsPseudoTerminal(const std::string& path)
{
    return path.rfind("/dev/pts/", 0) == 0;
}

// Whether an entry that no listed device goes by still leads to something.
// Simulated modems sit on pseudo-terminals, which the registry does not
// list: theirs is there while the terminal is. A serial device node that
// the registry does not list has no hardware behind it (a UART driver makes
// nodes for every port it could have). A link made by hand to anything else
// counts while its target exists.
bool StillThere(const DirectoryEntry& entry, bool registryRead)
{
    if (entry.resolved.empty())
        return false;
    if (IsPseudoTerminal(entry.target))
        return true;
    return !registryRead || entry.resolved.rfind("/dev/tty", 0) != 0;
}

// The name that /dev/ttyS(n-1) already has without an entry: n, for COM1 to
// COM9; else 0.
int DefaultNumber(const std::string& node)
{
    static const std::string prefix = "/dev/ttyS";
    if (node.size() != prefix.size() + 1 || node.compare(0, prefix.size(), prefix) != 0)
        return 0;
    char digit = node.back();
    return digit >= '0' && digit <= '8' ? digit - '0' + 1 : 0;
}

// The entry whose device has been gone longest; 0 when every device is there.
int OldestAbsent(const std::map<int, DirectoryEntry>& entries)
{
    int oldest = 0;
    timespec best{};
    for (const auto& [number, entry] : entries) {
        if (entry.present || entry.target.empty())
            continue;
        const timespec& seen = entry.seen;
        if (oldest == 0 || seen.tv_sec < best.tv_sec || (seen.tv_sec == best.tv_sec && seen.tv_nsec < best.tv_nsec)) {
            oldest = number;
            best = seen;
        }
    }
    return oldest;
}

// Makes COMn lead to target; 0 or the errno of the failure. A name that is
// given back is replaced by a new link made under a temporary name and
// renamed over it, so that a reader never finds the name missing or half
// made.
int MakeEntry(const std::string& directory, int number, const std::string& target, bool replace)
{
    std::string entry = directory + "/" + ComPortName(number);
    if (!replace)
        return ::symlink(target.c_str(), entry.c_str()) == 0 ? 0 : errno;
    std::string temp = directory + "/." + ComPortName(number) + ".new." + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0)
        return errno;
    if (::rename(temp.c_str(), entry.c_str()) != 0) {
        int failure = errno;
        ::unlink(temp.c_str());
        return failure;
    }
    return 0;
}

std::string Describe(const SerialDevice& device)
{
    if (device.problem.empty())
        return device.description;
    return device.description + ": " + device.problem;
}

// A refusal sentence as the reason within a row: "the port directory ...
// cannot be trusted: ...", without the full stop.
std::string AsReason(std::string sentence)
{
    if (!sentence.empty() && sentence.back() == '.')
        sentence.pop_back();
    if (sentence.rfind("The ", 0) == 0)
        sentence[0] = 't';
    return sentence;
}

struct Row {
    std::string name;
    std::string display;
    bool yields;  // a simulated modem that has gone, or a name that may not be used: gives way to a device
};

} // namespace

void EnumComPorts(DeviceSource& source)
{
    for (PortEntry& row : PortTable)
        row = PortEntry{};

    std::vector<SerialDevice> devices;
    bool registry = source.ListDevices(devices);
    // Names are handed out in this order: ttyS2 before ttyS10.
    std::stable_sort(devices.begin(), devices.end(),
                     [](const SerialDevice& a, const SerialDevice& b) { return NodeNameLess(a.node, b.node); });
    std::string directory = PortDirectory();
    // A directory that others may write names nothing: no name of it is
    // used, none is recorded there, and no COMn means /dev/ttyS(n-1) either,
    // since another user could have removed the entry that meant otherwise.
    std::string directoryRefusal = PortDirectoryRefusal();
    std::map<int, DirectoryEntry> entries;
    bool directoryRead = ReadPortDirectory(directory, directoryRefusal, entries);

    if (!registry && !directoryRead) {
        for (int i = 0; i < MAX_PORTS; ++i)
            PortTable[i].portName = PortTable[i].displayText = ComPortName(i + 1);
        return;
    }

    // The COM number each device goes by; 0 while it has none.
    std::vector<int> names(devices.size(), 0);
    for (std::size_t i = 0; i < devices.size(); ++i)
        for (auto& [number, entry] : entries)
            if (SameDevice(entry, devices[i])) {
                entry.present = true;
                if (names[i] == 0 && !entry.named) {
                    names[i] = number;
                    entry.named = true;
                }
            }
    // The time of an entry records when its device was last seen, so that
    // the name gone unused longest is the one given back first.
    for (auto& [number, entry] : entries) {
        if (!entry.present && !entry.target.empty())
            entry.present = StillThere(entry, registry);
        if (entry.present && !entry.target.empty())
            ::utimensat(AT_FDCWD, (directory + "/" + ComPortName(number)).c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
    }

    // Without an entry COMn already means /dev/ttyS(n-1): such a port keeps
    // that name, and the other devices take names nobody meant before.
    std::vector<int> defaults(devices.size(), 0);
    bool claimed[kComNames + 1] = {};
    for (std::size_t i = 0; i < devices.size() && directoryRefusal.empty(); ++i) {
        int number = DefaultNumber(devices[i].node);
        if (names[i] == 0 && number != 0 && entries.count(number) == 0) {
            defaults[i] = number;
            claimed[number] = true;
        }
    }

    std::vector<std::string> unnamedBecause(devices.size());
    std::string directoryError = AsReason(directoryRefusal);
    bool directoryMade = false;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (names[i] != 0)
            continue;
        if (!directoryMade && directoryError.empty())
            directoryMade = MakePortDirectory(directoryError);
        if (!directoryMade) {
            names[i] = defaults[i];  // reachable by that name without an entry
            unnamedBecause[i] = directoryError;
            continue;
        }
        const SerialDevice& device = devices[i];
        std::string target = device.stableLink.empty() ? device.node : device.stableLink;
        for (;;) {
            int number = defaults[i];
            for (int n = 1; number == 0 && n <= kComNames; ++n)
                if (entries.count(n) == 0 && !claimed[n])
                    number = n;
            bool replace = number == 0;
            if (replace)
                number = OldestAbsent(entries);
            if (number == 0) {
                unnamedBecause[i] = "COM1 to COM9 all belong to devices that are present";
                break;
            }
            int failure = MakeEntry(directory, number, target, replace);
            if (failure == EEXIST && !replace) {
                // Taken meanwhile by another program: leave it be, try the next.
                entries[number].present = true;
                defaults[i] = 0;
                continue;
            }
            if (failure != 0) {
                unnamedBecause[i] =
                    "cannot make " + directory + "/" + ComPortName(number) + ": " + std::strerror(failure);
                names[i] = defaults[i];
                break;
            }
            DirectoryEntry& entry = entries[number];
            entry = DirectoryEntry{target, Resolved(target), {}, true, true, {}};
            names[i] = number;
            break;
        }
    }

    std::map<int, Row> named;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (names[i] == 0 || named.count(names[i]) != 0)
            continue;
        std::string name = ComPortName(names[i]);
        named[names[i]] = {name, name + " -- " + Describe(devices[i]), false};
    }
    // Entries that no listed device goes by. A simulated modem whose
    // simulator has gone is listed all the same, and the probe finds nothing
    // there.
    for (const auto& [number, entry] : entries) {
        if (named.count(number) != 0 || (entry.target.empty() && entry.refusal.empty()))
            continue;
        std::string name = ComPortName(number);
        if (!entry.refusal.empty())
            named[number] = {name, name + " -- not used: " + AsReason(entry.refusal), true};
        else if (IsPseudoTerminal(entry.target))
            named[number] = {name, name + " -- simulated modem (" + entry.target + ")", !entry.present};
        else if (entry.present)
            named[number] = {name, name + " -- " + entry.target, false};
    }
    std::vector<Row> rows;
    for (auto& [number, row] : named)
        rows.push_back(std::move(row));
    // A device that has no name is still listed, under its device path,
    // which opens it as well; the row says why.
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (names[i] != 0)
            continue;
        const std::string& node = devices[i].node;
        rows.push_back({node, node + " -- " + Describe(devices[i]) + " (no COM name: " + unnamedBecause[i] + ")", false});
    }

    // Only eight rows fit. Simulators that have gone and names that may not
    // be used give way first; and when names ran out, the first device left
    // without one takes the last row, so that the list says so instead of
    // dropping it without a word.
    for (std::size_t i = rows.size(); i-- > 0 && rows.size() > MAX_PORTS;)
        if (rows[i].yields)
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
    auto unnamed = std::find_if(rows.begin(), rows.end(), [](const Row& row) { return ComPortNumber(row.name) == 0; });
    if (rows.size() > MAX_PORTS && unnamed != rows.end() && unnamed - rows.begin() >= MAX_PORTS)
        std::rotate(rows.begin() + (MAX_PORTS - 1), unnamed, unnamed + 1);
    for (std::size_t i = 0; i < rows.size() && i < MAX_PORTS; ++i) {
        PortTable[i].portName = rows[i].name;
        PortTable[i].displayText = rows[i].display;
    }
}
