// The port list from the system registry: the running-device tree of the
// Windows 95 family, the serial device map of the NT family, or the fixed
// names COM1 to COM8 where neither can be read.

#include "base/Text.h"
#include "ports/PortTable.h"
#include "ports/platform/DeviceSource.h"
#include "ports/platform/Registry.h"
#include "serial/PortNames.h"

#include <algorithm>

// The one table of the program, whichever listing fills it: this file is
// part of every build, the other listings are not.
PortEntry PortTable[MAX_PORTS];

namespace {

// String values are read into an area of this size; a longer one does not
// fit and reads as empty.
constexpr std::size_t kStringArea = 200;

// Below HKEY_DYN_DATA: one subkey per device node that is present.
constexpr char kDeviceTree[] = "Config Manager\\Enum";
// Below HKEY_LOCAL_MACHINE: one value per serial port that is present, its
// data the port's name.
constexpr char kSerialMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// A value's bytes up to the first zero byte, as long as they fit the area.
std::string StringOf(const std::vector<unsigned char>& data)
{
    if (data.size() > kStringArea)
        return "";
    return std::string(data.begin(), std::find(data.begin(), data.end(), 0));
}

// Whether the device node is working: its "Problem" value is there and its
// first byte is 0. An empty value has no such byte and does not count.
bool NodeWorks(RegistryAccess& registry, RegKey tree, const std::string& node)
{
    RegKey key = 0;
    if (!registry.OpenKey(tree, node, KeyPurpose::Query, key))
        return false;
    std::vector<unsigned char> problem;
    bool works = registry.QueryValue(key, "Problem", problem) && !problem.empty() && problem[0] == 0;
    registry.CloseKey(key);
    return works;
}

// The ports among the device nodes, in the tree's order, the first limit.
void ListDeviceNodes(RegistryAccess& registry, RegKey tree, std::size_t limit, std::vector<PortEntry>& ports)
{
    std::string node;
    for (std::uint32_t index = 0; ports.size() < limit && registry.EnumKey(tree, index, node); ++index) {
        std::string hardwareKey;
        ReadRegString(registry, tree, node, "HardWareKey", hardwareKey);
        std::string path = "Enum\\" + hardwareKey;
        std::string portName;
        ReadRegString(registry, kHkeyLocalMachine, path, "PortName", portName);
        if (portName.empty())
            continue;
        // Printer ports have a port name as well (LPT1); their device
        // identifiers begin so.
        if (path.find("PNP040") != std::string::npos)
            continue;
        std::string description;
        ReadRegString(registry, kHkeyLocalMachine, path, "DeviceDesc", description);
        if (!NodeWorks(registry, tree, node))
            continue;
        ports.push_back({{}, portName, portName + " -- " + description, 0});
    }
}

bool EndsWithNoCase(const std::string& text, const std::string& end)
{
    return ToLowerAscii(text).ends_with(ToLowerAscii(end));
}

// The ports of the serial device map in number order, COM2 before COM10,
// the first limit, each shown with its device's friendly name. False when
// the map cannot be opened.
bool ListSerialMap(RegistryAccess& registry, std::size_t limit, std::vector<PortEntry>& ports)
{
    RegKey map = 0;
    if (!registry.OpenKey(kHkeyLocalMachine, kSerialMap, KeyPurpose::Query, map))
        return false;
    std::vector<std::string> names;
    std::string valueName;
    std::vector<unsigned char> data;
    for (std::uint32_t index = 0; registry.EnumValue(map, index, valueName, data); ++index) {
        std::string name = StringOf(data);
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    registry.CloseKey(map);

    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NodeNameLess(a, b); });
    for (std::size_t i = 0; i < names.size() && i < limit; ++i) {
        const std::string& name = names[i];
        std::string friendly;
        if (!registry.FriendlyName(name, friendly))
            friendly.clear();
        // The friendly name says which port it is, "Communications Port
        // (COM1)"; the row begins with the port name already.
        std::string own = " (" + name + ")";
        if (EndsWithNoCase(friendly, own))
            friendly.resize(friendly.size() - own.size());
        ports.push_back({{}, name, friendly.empty() ? name : name + " -- " + friendly, 0});
    }
    return true;
}

// The running-device tree exists in the Windows 95 family only. The NT
// family cannot open it at all, and Wine opens it as an empty key. A real
// tree always holds at least the machine's root node, so a tree without a
// single subkey is taken for no tree; the NT family's serial device map
// lists the ports there instead. True when the tree listed the ports.
bool ListDeviceTree(RegistryAccess& registry, std::size_t limit, std::vector<PortEntry>& ports)
{
    RegKey tree = 0;
    if (!registry.OpenKey(kHkeyDynData, kDeviceTree, KeyPurpose::Enumerate, tree))
        return false;
    std::string first;
    bool hasNodes = registry.EnumKey(tree, 0, first);
    if (hasNodes)
        ListDeviceNodes(registry, tree, limit, ports);
    registry.CloseKey(tree);
    return hasNodes;
}

// Only without the device tree and the serial device map are the fixed
// names listed, whether those ports exist or not; the probe sorts them out.
std::vector<PortEntry> ListRegistryPorts(RegistryAccess& registry, std::size_t limit)
{
    std::vector<PortEntry> ports;
    if (!ListDeviceTree(registry, limit, ports) && !ListSerialMap(registry, limit, ports))
        ports = FixedPortNames();
    return ports;
}

}  // namespace

std::vector<PortEntry> FixedPortNames()
{
    std::vector<PortEntry> ports;
    for (int i = 1; i <= MAX_PORTS; ++i)
        ports.push_back({{}, ComPortName(i), ComPortName(i), 0});
    return ports;
}

void ReadRegString(RegistryAccess& registry, RegKey root, const std::string& path, const std::string& valueName,
                   std::string& text)
{
    text.clear();
    RegKey key = 0;
    if (!registry.OpenKey(root, path, KeyPurpose::Query, key))
        return;
    std::vector<unsigned char> data;
    if (registry.QueryValue(key, valueName, data))
        text = StringOf(data);
    registry.CloseKey(key);
}

void EnumComPorts(RegistryAccess& registry)
{
    for (PortEntry& row : PortTable)
        row = PortEntry{};
    std::vector<PortEntry> ports = ListRegistryPorts(registry, MAX_PORTS);
    std::copy(ports.begin(), ports.end(), PortTable);
}

std::vector<PortEntry> ListAllPorts(RegistryAccess& registry)
{
    // The system gives a port a number up to 256; a registry that lists
    // more is broken, and the list ends there.
    return ListRegistryPorts(registry, kMaxComPortNumber);
}
