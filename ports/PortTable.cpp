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

// COM1 to COM256: every name a port can have.
constexpr int kComNames = kMaxComPortNumber;

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

bool IsPseudoTerminal(const std::string& path) { return path.rfind("/dev/pts/", 0) == 0; }

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
// COM256; else 0.
int DefaultNumber(const std::string& node)
{
    static const std::string prefix = "/dev/ttyS";
    if (node.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const std::string digits = node.substr(prefix.size());
    if (digits.empty() || digits.size() > 3 || (digits.size() > 1 && digits[0] == '0') ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    int number = std::stoi(digits) + 1;
    return number <= kComNames ? number : 0;
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

// What one listing works with: the devices, the port directory's entries,
// and the names the devices come to go by.
struct Listing {
    std::vector<SerialDevice> devices;
    bool registryRead = false;
    std::string directory;
    // A directory that others may write names nothing: no name of it is
    // used, none is recorded there, and no COMn means /dev/ttyS(n-1) either,
    // since another user could have removed the entry that meant otherwise.
    std::string directoryRefusal;
    std::map<int, DirectoryEntry> entries;
    std::vector<int> names;     // the COM number each device goes by; 0 while it has none
    std::vector<int> defaults;  // the COMn a device has without an entry; 0 for none
    bool claimed[kComNames + 1] = {};
    std::vector<std::string> unnamedBecause;  // for a device left without a name
};

// The devices of the registry and the entries of the port directory; false
// when neither can be read.
bool ReadSources(DeviceSource& source, Listing& listing)
{
    listing.registryRead = source.ListDevices(listing.devices);
    // Names are handed out in this order: ttyS2 before ttyS10.
    std::stable_sort(listing.devices.begin(), listing.devices.end(),
                     [](const SerialDevice& a, const SerialDevice& b) { return NodeNameLess(a.node, b.node); });
    listing.directory = PortDirectory();
    listing.directoryRefusal = PortDirectoryRefusal();
    bool directoryRead = ReadPortDirectory(listing.directory, listing.directoryRefusal, listing.entries);
    return listing.registryRead || directoryRead;
}

// The names the port directory records for the devices. The time of an
// entry records when its device was last seen, so that the name gone unused
// longest is the one given back first.
void TakeRecordedNames(Listing& listing)
{
    listing.names.assign(listing.devices.size(), 0);
    for (std::size_t i = 0; i < listing.devices.size(); ++i)
        for (auto& [number, entry] : listing.entries)
            if (SameDevice(entry, listing.devices[i])) {
                entry.present = true;
                if (listing.names[i] == 0 && !entry.named) {
                    listing.names[i] = number;
                    entry.named = true;
                }
            }
    for (auto& [number, entry] : listing.entries) {
        if (!entry.present && !entry.target.empty())
            entry.present = StillThere(entry, listing.registryRead);
        if (entry.present && !entry.target.empty())
            ::utimensat(AT_FDCWD, (listing.directory + "/" + ComPortName(number)).c_str(), nullptr,
                        AT_SYMLINK_NOFOLLOW);
    }
}

// Without an entry COMn already means /dev/ttyS(n-1): such a port keeps
// that name, and the other devices take names nobody meant before.
void TakeDefaultNames(Listing& listing)
{
    listing.defaults.assign(listing.devices.size(), 0);
    for (std::size_t i = 0; i < listing.devices.size() && listing.directoryRefusal.empty(); ++i) {
        int number = DefaultNumber(listing.devices[i].node);
        if (listing.names[i] == 0 && number != 0 && listing.entries.count(number) == 0) {
            listing.defaults[i] = number;
            listing.claimed[number] = true;
        }
    }
}

// Records a name for device i in the port directory (which exists): its
// default, else the lowest free one, else the one whose device has been
// gone longest.
void RecordNewName(Listing& listing, std::size_t i)
{
    const SerialDevice& device = listing.devices[i];
    std::string target = device.stableLink.empty() ? device.node : device.stableLink;
    for (;;) {
        int number = listing.defaults[i];
        for (int n = 1; number == 0 && n <= kComNames; ++n)
            if (listing.entries.count(n) == 0 && !listing.claimed[n])
                number = n;
        bool replace = number == 0;
        if (replace)
            number = OldestAbsent(listing.entries);
        if (number == 0) {
            listing.unnamedBecause[i] = "COM1 to COM256 all belong to devices that are present";
            return;
        }
        int failure = MakeEntry(listing.directory, number, target, replace);
        if (failure == EEXIST && !replace) {
            // Taken meanwhile by another program: leave it be, try the next.
            listing.entries[number].present = true;
            listing.defaults[i] = 0;
            continue;
        }
        if (failure != 0) {
            listing.unnamedBecause[i] =
                "cannot make " + listing.directory + "/" + ComPortName(number) + ": " + std::strerror(failure);
            listing.names[i] = listing.defaults[i];
            return;
        }
        DirectoryEntry& entry = listing.entries[number];
        entry = DirectoryEntry{target, Resolved(target), {}, true, true, {}};
        listing.names[i] = number;
        return;
    }
}

// Names the devices that have none yet, making the port directory when the
// first needs it. Where it cannot be made, a device keeps the name it has
// without an entry, if any.
void RecordNewNames(Listing& listing)
{
    listing.unnamedBecause.assign(listing.devices.size(), "");
    std::string directoryError = AsReason(listing.directoryRefusal);
    bool directoryMade = false;
    for (std::size_t i = 0; i < listing.devices.size(); ++i) {
        if (listing.names[i] != 0)
            continue;
        if (!directoryMade && directoryError.empty())
            directoryMade = MakePortDirectory(directoryError);
        if (!directoryMade) {
            listing.names[i] = listing.defaults[i];  // reachable by that name without an entry
            listing.unnamedBecause[i] = directoryError;
            continue;
        }
        RecordNewName(listing, i);
    }
}

// The rows of the listing in COM-number order, the devices without a name
// behind them.
std::vector<Row> ListRows(const Listing& listing)
{
    const std::vector<SerialDevice>& devices = listing.devices;
    std::map<int, Row> named;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (listing.names[i] == 0 || named.count(listing.names[i]) != 0)
            continue;
        std::string name = ComPortName(listing.names[i]);
        named[listing.names[i]] = {name, name + " -- " + Describe(devices[i]), false};
    }
    // Entries that no listed device goes by. A simulated modem whose
    // simulator has gone is listed all the same, and the probe finds nothing
    // there.
    for (const auto& [number, entry] : listing.entries) {
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
        if (listing.names[i] != 0)
            continue;
        const std::string& node = devices[i].node;
        rows.push_back(
            {node, node + " -- " + Describe(devices[i]) + " (no COM name: " + listing.unnamedBecause[i] + ")", false});
    }
    return rows;
}

// Only eight rows fit. Simulators that have gone and names that may not be
// used give way first; and when names ran out, the first device left
// without one takes the last row, so that the list says so instead of
// dropping it without a word.
void FillTable(std::vector<Row> rows, PortEntry (&table)[MAX_PORTS])
{
    for (std::size_t i = rows.size(); i-- > 0 && rows.size() > MAX_PORTS;)
        if (rows[i].yields)
            rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
    auto unnamed = std::find_if(rows.begin(), rows.end(), [](const Row& row) { return ComPortNumber(row.name) == 0; });
    if (rows.size() > MAX_PORTS && unnamed != rows.end() && unnamed - rows.begin() >= MAX_PORTS)
        std::rotate(rows.begin() + (MAX_PORTS - 1), unnamed, unnamed + 1);
    for (std::size_t i = 0; i < rows.size() && i < MAX_PORTS; ++i) {
        table[i].portName = rows[i].name;
        table[i].displayText = rows[i].display;
    }
}

// Every row, named as the port directory records; false (and no rows) when
// neither the registry nor the directory could be read.
bool ListingRows(DeviceSource& source, std::vector<Row>& rows)
{
    Listing listing;
    if (!ReadSources(source, listing))
        return false;
    TakeRecordedNames(listing);
    TakeDefaultNames(listing);
    RecordNewNames(listing);
    rows = ListRows(listing);
    return true;
}

}  // namespace

void EnumComPorts(DeviceSource& source)
{
    for (PortEntry& row : PortTable)
        row = PortEntry{};
    std::vector<Row> rows;
    if (!ListingRows(source, rows)) {
        const std::vector<PortEntry> fixed = FixedPortNames();
        std::copy(fixed.begin(), fixed.end(), PortTable);
        return;
    }
    FillTable(std::move(rows), PortTable);
}

std::vector<PortEntry> ListAllPorts(DeviceSource& source)
{
    std::vector<Row> rows;
    std::vector<PortEntry> ports;
    if (!ListingRows(source, rows))
        return FixedPortNames();
    // Simulators that have gone and names that may not be used are no
    // ports to flash; everything else is listed.
    for (Row& row : rows)
        if (!row.yields)
            ports.push_back({{}, row.name, row.display, 0});
    return ports;
}
