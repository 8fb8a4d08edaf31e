// The port list from a registry tree written by the test.

#include "ports/PortTable.h"
#include "ports/platform/Registry.h"
#include "tests/support/PortRows.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Text(const std::string& text)
{
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// A registry in memory: every key by its whole path ("D\..." below
// HKEY_DYN_DATA, "M\..." below HKEY_LOCAL_MACHINE) with its values; keys
// enumerate in the order they were made.
class FakeRegistry : public RegistryAccess {
public:
    // Makes the key with every key above it, and adds the value if named.
    void Set(RegKey root, const std::string& path, const std::string& name = "", const Bytes& data = {})
    {
        std::string full = (root == kHkeyDynData ? "D\\" : "M\\") + path;
        for (std::size_t end = 0; end != std::string::npos;) {
            end = full.find('\\', end + 1);
            if (values.count(full.substr(0, end)) == 0)
                order.push_back(full.substr(0, end));
            values[full.substr(0, end)];
        }
        if (!name.empty())
            values[full].emplace_back(name, data);
    }

    bool OpenKey(RegKey root, const std::string& path, KeyPurpose, RegKey& key) override
    {
        std::string full = open.count(root) != 0 ? open[root] : root == kHkeyDynData ? "D" : "M";
        if (!path.empty())
            full += "\\" + path;
        if (values.count(full) == 0)
            return false;
        open[key = next++] = full;
        return true;
    }
    bool EnumKey(RegKey key, std::uint32_t index, std::string& name) override
    {
        std::string above = open.at(key) + "\\";
        for (const std::string& path : order)
            if (path.rfind(above, 0) == 0 && path.find('\\', above.size()) == std::string::npos && index-- == 0) {
                name = path.substr(above.size());
                return true;
            }
        return false;
    }
    bool QueryValue(RegKey key, const std::string& valueName, Bytes& data) override
    {
        for (const auto& [name, bytes] : values[open.at(key)])
            if (name == valueName) {
                data = bytes;
                return true;
            }
        return false;
    }
    bool EnumValue(RegKey key, std::uint32_t index, std::string& name, Bytes& data) override
    {
        const auto& list = values[open.at(key)];
        if (index >= list.size())
            return false;
        std::tie(name, data) = list[index];
        return true;
    }
    void CloseKey(RegKey key) override { EXPECT_EQ(open.erase(key), 1u) << "closed twice or never opened"; }
    bool FriendlyName(const std::string& portName, std::string& text) override
    {
        auto found = friendly.find(portName);
        if (found != friendly.end())
            text = found->second;
        return found != friendly.end();
    }

    std::map<std::string, std::vector<std::pair<std::string, Bytes>>> values;
    std::vector<std::string> order;
    std::map<RegKey, std::string> open;
    std::map<std::string, std::string> friendly;
    RegKey next = 1;
};

constexpr char kTree[] = "Config Manager\\Enum";
constexpr char kSerialMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// A device node of the running-device tree and its static key; without a
// problem value when problem is empty.
void AddNode(FakeRegistry& r, const std::string& node, const std::string& hardwareKey, const std::string& portName,
             const std::string& description, const Bytes& problem = {0, 0, 0, 0})
{
    r.Set(kHkeyDynData, std::string(kTree) + "\\" + node, "HardWareKey", Text(hardwareKey));
    if (!problem.empty())
        r.Set(kHkeyDynData, std::string(kTree) + "\\" + node, "Problem", problem);
    if (!portName.empty())
        r.Set(kHkeyLocalMachine, "Enum\\" + hardwareKey, "PortName", Text(portName));
    r.Set(kHkeyLocalMachine, "Enum\\" + hardwareKey, "DeviceDesc", Text(description));
}

TEST(RegistryPortsTest, Listings)
{
    std::vector<std::string> fixed;
    for (int n = 1; n <= 8; ++n)
        fixed.push_back("COM" + std::to_string(n) + " | COM" + std::to_string(n));
    auto serialMap = [](FakeRegistry& r) {
        for (int n : {11, 2, 1, 30, 4, 5, 6, 7, 8, 9})
            r.Set(kHkeyLocalMachine, kSerialMap, "\\Device\\Serial" + std::to_string(n),
                  Text("COM" + std::to_string(n)));
        r.friendly = {{"COM1", "Communications Port (COM1)"}, {"COM9", "USB Serial Port (com9)"}};
    };
    const std::vector<std::string> mapRows = {"COM1 | COM1 -- Communications Port",
                                              "COM2 | COM2",
                                              "COM4 | COM4",
                                              "COM5 | COM5",
                                              "COM6 | COM6",
                                              "COM7 | COM7",
                                              "COM8 | COM8",
                                              "COM9 | COM9 -- USB Serial Port"};
    struct Case {
        const char* what;
        std::function<void(FakeRegistry&)> write;
        std::vector<std::string> rows;
    };
    const Case cases[] =
        {
            {"neither device tree nor serial map", [](FakeRegistry&) {}, fixed},
            {"device tree without nodes, no serial map", [](FakeRegistry& r) { r.Set(kHkeyDynData, kTree); }, fixed},
            {"working ports in the tree's order",
             [](FakeRegistry& r) {
        AddNode(r, "C1", "Root\\*PNP0501\\0001", "COM4", "Communications Port");
        AddNode(r, "C2", "BIOS\\*PNP0400\\0D", "LPT1", "Printer Port");
        AddNode(r, "C3", "BIOS\\*pnp0400\\0E", "COM5", "Lower-case identifier");
        AddNode(r, "C4", "MF\\PNP0600\\0000", "", "Disk controller");
        AddNode(r, "C5", "Root\\*PNP0501\\0002", "COM1", "No problem value", {});
        AddNode(r, "C6", "Root\\*PNP0501\\0003", "COM2", "Disabled", {22, 0, 0, 0});
        AddNode(r, "C7", "Root\\*PNP0501\\0004", "COM6", "First byte 0", {0, 1});
        AddNode(r, "C8", "PCI\\1", "COM7", std::string(199, 'd'));  // 200 bytes with its zero: fits
        AddNode(r, "C9", "PCI\\2", "COM8", std::string(200, 'd'));  // does not
        AddNode(r, "CA", "PCI\\3", "", "");
        r.Set(kHkeyLocalMachine, "Enum\\PCI\\3", "PortName", {'C', 'O', 'M', '3', 0, 'x'});
        AddNode(r, "CB", "PCI\\4", "", "");
        r.Set(kHkeyLocalMachine, "Enum\\PCI\\4", "PortName", Bytes(201, 'x'));
             },
             {"COM4 | COM4 -- Communications Port", "COM5 | COM5 -- Lower-case identifier",
              "COM6 | COM6 -- First byte 0", "COM7 | COM7 -- " + std::string(199, 'd'), "COM8 | COM8 -- ",
              "COM3 | COM3 -- "}},
            {"ten ports: the first eight of the tree",
             [](FakeRegistry& r) {
        for (int n : {9, 3, 7, 1, 10, 5, 2, 8, 4, 6})
            AddNode(r, "N" + std::to_string(n), "P" + std::to_string(n), "COM" + std::to_string(n), "P");
             },
             {"COM9 | COM9 -- P", "COM3 | COM3 -- P", "COM7 | COM7 -- P", "COM1 | COM1 -- P", "COM10 | COM10 -- P",
              "COM5 | COM5 -- P", "COM2 | COM2 -- P", "COM8 | COM8 -- P"}},
               {"a tree with nodes but no port is no missing tree",
                [&](FakeRegistry& r) {
        AddNode(r, "C1", "Root\\1", "", "Display");
        serialMap(r);
                },
                {}},
        {"serial map, empty device tree",
         [&](FakeRegistry& r) {
        r.Set(kHkeyDynData, kTree);
        serialMap(r);
         },
         mapRows},
        {"serial map, no device tree", serialMap, mapRows},
        {"empty serial map", [](FakeRegistry& r) { r.Set(kHkeyLocalMachine, kSerialMap); }, {}},
        };
    for (const Case& c : cases) {
        FakeRegistry registry;
        c.write(registry);
        for (PortEntry& row : PortTable)  // what an earlier scan left
            row = {"KT-56", "COM9", "COM9", 1};
        EnumComPorts(registry);
        EXPECT_EQ(PortRows(), c.rows) << c.what;
        for (const PortEntry& row : PortTable)
            EXPECT_TRUE(row.identification.empty() && row.modemFound == 0) << c.what;
        EXPECT_TRUE(registry.open.empty()) << c.what;
    }
}

}  // namespace
