// The port list from a registry tree written by the test.

#include "ports/PortTable.h"
#include "ports/platform/Registry.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Text(const std::string& text)
{
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// A registry in memory, its keys and values in the order they were made.
class FakeRegistry : public RegistryAccess {
public:
    struct Node {
        std::string name;
        std::vector<std::unique_ptr<Node>> keys;
        std::vector<std::pair<std::string, Bytes>> values;
    };

    // The key at path below root, made with everything above it.
    Node& Make(RegKey root, const std::string& path)
    {
        Node* node = &roots[root];
        for (std::size_t start = 0; start < path.size();) {
            std::size_t end = std::min(path.find('\\', start), path.size());
            std::string part = path.substr(start, end - start);
            Node* child = Child(*node, part);
            if (child == nullptr) {
                node->keys.push_back(std::make_unique<Node>());
                child = node->keys.back().get();
                child->name = part;
            }
            node = child;
            start = end + 1;
        }
        return *node;
    }
    void Set(RegKey root, const std::string& path, const std::string& name, const Bytes& data)
    {
        Make(root, path).values.emplace_back(name, data);
    }

    bool OpenKey(RegKey root, const std::string& path, KeyPurpose /*purpose*/, RegKey& key) override
    {
        Node* node = Find(root);
        for (std::size_t start = 0; node != nullptr && start < path.size();) {
            std::size_t end = std::min(path.find('\\', start), path.size());
            node = Child(*node, path.substr(start, end - start));
            start = end + 1;
        }
        if (node == nullptr)
            return false;
        key = m_next++;
        m_open[key] = node;
        return true;
    }
    bool EnumKey(RegKey key, std::uint32_t index, std::string& name) override
    {
        Node* node = m_open.at(key);
        if (index >= node->keys.size())
            return false;
        name = node->keys[index]->name;
        return true;
    }
    bool QueryValue(RegKey key, const std::string& valueName, Bytes& data) override
    {
        for (const auto& [name, bytes] : m_open.at(key)->values)
            if (name == valueName) {
                data = bytes;
                return true;
            }
        return false;
    }
    bool EnumValue(RegKey key, std::uint32_t index, std::string& name, Bytes& data) override
    {
        Node* node = m_open.at(key);
        if (index >= node->values.size())
            return false;
        std::tie(name, data) = node->values[index];
        return true;
    }
    void CloseKey(RegKey key) override { EXPECT_EQ(m_open.erase(key), 1u) << "closed twice or never opened"; }
    bool FriendlyName(const std::string& portName, std::string& text) override
    {
        auto found = friendly.find(portName);
        if (found == friendly.end())
            return false;
        text = found->second;
        return true;
    }

    std::size_t OpenKeys() const { return m_open.size(); }

    std::map<RegKey, Node> roots;
    std::map<std::string, std::string> friendly;

private:
    Node* Find(RegKey root)
    {
        if (m_open.count(root) != 0)
            return m_open[root];
        auto found = roots.find(root);
        return found != roots.end() ? &found->second : nullptr;
    }
    static Node* Child(Node& node, const std::string& name)
    {
        for (auto& child : node.keys)
            if (child->name == name)
                return child.get();
        return nullptr;
    }

    std::map<RegKey, Node*> m_open;
    RegKey m_next = 1;
};

constexpr char kTree[] = "Config Manager\\Enum";
constexpr char kSerialMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const Bytes kWorking = {0, 0, 0, 0};

// A device node of the running-device tree and its static key.
void AddNode(FakeRegistry& registry, const std::string& node, const std::string& hardwareKey,
             const std::string& portName, const std::string& description, std::optional<Bytes> problem = kWorking)
{
    std::string path = std::string(kTree) + "\\" + node;
    registry.Set(kHkeyDynData, path, "HardWareKey", Text(hardwareKey));
    if (problem)
        registry.Set(kHkeyDynData, path, "Problem", *problem);
    std::string device = "Enum\\" + hardwareKey;
    if (!portName.empty())
        registry.Set(kHkeyLocalMachine, device, "PortName", Text(portName));
    registry.Set(kHkeyLocalMachine, device, "DeviceDesc", Text(description));
}

std::vector<std::string> Rows()
{
    std::vector<std::string> rows;
    for (const PortEntry& row : PortTable)
        if (!row.portName.empty())
            rows.push_back(row.portName + " | " + row.displayText);
    return rows;
}

std::vector<std::string> FixedRows()
{
    std::vector<std::string> rows;
    for (int i = 1; i <= 8; ++i)
        rows.push_back("COM" + std::to_string(i) + " | COM" + std::to_string(i));
    return rows;
}

struct Case {
    const char* what;
    std::function<void(FakeRegistry&)> write;
    std::vector<std::string> rows;
};

TEST(RegistryPortsTest, Listings)
{
    auto serialMap = [](FakeRegistry& r) {
        r.Set(kHkeyLocalMachine, kSerialMap, "\\Device\\Serial10", Text("COM11"));
        r.Set(kHkeyLocalMachine, kSerialMap, "\\Device\\Serial1", Text("COM2"));
        r.Set(kHkeyLocalMachine, kSerialMap, "\\Device\\Serial0", Text("COM1"));
        r.friendly = {{"COM1", "Communications Port (COM1)"}, {"COM11", "USB Serial Port (com11)"}};
    };
    const std::vector<std::string> mapRows = {"COM1 | COM1 -- Communications Port", "COM2 | COM2",
                                              "COM11 | COM11 -- USB Serial Port"};
    const Case cases[] = {
        {"neither the device tree nor the serial map", [](FakeRegistry&) {}, FixedRows()},
        {"device tree without nodes, no serial map", [](FakeRegistry& r) { r.Make(kHkeyDynData, kTree); },
         FixedRows()},
        {"working ports in the tree's order",
         [](FakeRegistry& r) {
             AddNode(r, "C29A3B41", "Root\\*PNP0501\\0001", "COM4", "Communications Port");
             AddNode(r, "C29A3B42", "Root\\*PNP0500\\0000", "COM1", "Communications Port");
             AddNode(r, "C29A3B43", "MF\\PNP0600\\0000", "", "Hard disk controller");
             AddNode(r, "C29A3B44", "Root\\*PNP0501\\0003", "COM3", "");
         },
         {"COM4 | COM4 -- Communications Port", "COM1 | COM1 -- Communications Port", "COM3 | COM3 -- "}},
        {"printer ports and devices that do not work are left out",
         [](FakeRegistry& r) {
             AddNode(r, "A", "BIOS\\*PNP0400\\0D", "LPT1", "Printer Port");
             AddNode(r, "B", "BIOS\\*pnp0400\\0E", "COM5", "Lower-case identifier");
             AddNode(r, "C", "Root\\*PNP0501\\0001", "COM1", "No problem value", std::nullopt);
             AddNode(r, "D", "Root\\*PNP0501\\0002", "COM2", "Disabled", Bytes{22, 0, 0, 0});
             AddNode(r, "E", "Root\\*PNP0501\\0003", "COM3", "Empty problem value", Bytes{});
             AddNode(r, "F", "Root\\*PNP0501\\0004", "COM4", "First byte 0", Bytes{0, 1});
         },
         {"COM5 | COM5 -- Lower-case identifier", "COM4 | COM4 -- First byte 0"}},
        {"ten ports: the first eight of the tree",
         [](FakeRegistry& r) {
             for (int n : {9, 3, 7, 1, 10, 5, 2, 8, 4, 6})
                 AddNode(r, "N" + std::to_string(n), "USB\\P" + std::to_string(n), "COM" + std::to_string(n), "P");
         },
         {"COM9 | COM9 -- P", "COM3 | COM3 -- P", "COM7 | COM7 -- P", "COM1 | COM1 -- P", "COM10 | COM10 -- P",
          "COM5 | COM5 -- P", "COM2 | COM2 -- P", "COM8 | COM8 -- P"}},
        {"a value longer than the string area reads as empty",
         [](FakeRegistry& r) {
             AddNode(r, "A", "Root\\1", "COM1", std::string(199, 'd'));  // 200 bytes with its zero
             AddNode(r, "B", "Root\\2", "COM2", std::string(200, 'd'));
             AddNode(r, "C", "Root\\3", "", "");
             r.Set(kHkeyLocalMachine, "Enum\\Root\\3", "PortName", Bytes(201, 'x'));
         },
         {"COM1 | COM1 -- " + std::string(199, 'd'), "COM2 | COM2 -- "}},
        {"a tree with nodes but no port is not taken for a missing tree",
         [&](FakeRegistry& r) {
             AddNode(r, "A", "Root\\1", "", "Display");
             serialMap(r);
         },
         {}},
        {"serial map in number order with friendly names, empty device tree",
         [&](FakeRegistry& r) {
             r.Make(kHkeyDynData, kTree);
             serialMap(r);
         },
         mapRows},
        {"serial map, no device tree", serialMap, mapRows},
        {"serial map with ten ports",
         [](FakeRegistry& r) {
             for (int n : {12, 3, 7, 1, 10, 5, 2, 8, 4, 6})
                 r.Set(kHkeyLocalMachine, kSerialMap, "S" + std::to_string(n), Text("COM" + std::to_string(n)));
         },
         {"COM1 | COM1", "COM2 | COM2", "COM3 | COM3", "COM4 | COM4", "COM5 | COM5", "COM6 | COM6", "COM7 | COM7",
          "COM8 | COM8"}},
        {"empty serial map", [](FakeRegistry& r) { r.Make(kHkeyLocalMachine, kSerialMap); }, {}},
    };
    for (const Case& c : cases) {
        FakeRegistry registry;
        c.write(registry);
        EnumComPorts(registry);
        EXPECT_EQ(Rows(), c.rows) << c.what;
        EXPECT_EQ(registry.OpenKeys(), 0u) << c.what;
        for (const PortEntry& row : PortTable)
            EXPECT_TRUE(row.identification.empty() && row.modemFound == 0) << c.what;
    }
}

TEST(RegistryPortsTest, EveryListingStartsAfresh)
{
    FakeRegistry registry;
    AddNode(registry, "A", "Root\\1", "COM1", "Port");
    EnumComPorts(registry);
    PortTable[0].identification = "KT-56";
    PortTable[0].modemFound = 1;
    PortTable[5].portName = PortTable[5].displayText = "COM6";
    EnumComPorts(registry);
    EXPECT_EQ(PortTable[0].identification, "");
    EXPECT_EQ(PortTable[0].modemFound, 0);
    EXPECT_EQ(Rows(), std::vector<std::string>{"COM1 | COM1 -- Port"});
}

TEST(RegistryPortsTest, ReadRegString)
{
    FakeRegistry registry;
    registry.Set(kHkeyLocalMachine, "K", "cut", Bytes{'C', 'O', 'M', '3', 0, 'x', 'y'});
    registry.Set(kHkeyLocalMachine, "K", "unended", Bytes{'C', 'O', 'M', '4'});
    registry.Set(kHkeyLocalMachine, "K", "number", Bytes{5, 0, 0, 0});
    registry.Set(kHkeyLocalMachine, "K", "full", Bytes(200, 'a'));
    registry.Set(kHkeyLocalMachine, "K", "long", Bytes(201, 'a'));
    const std::pair<const char*, std::string> cases[] = {
        {"cut", "COM3"}, {"unended", "COM4"}, {"number", "\x05"}, {"full", std::string(200, 'a')},
        {"long", ""},    {"absent", ""},
    };
    for (const auto& [value, text] : cases) {
        std::string read = "stale";
        ReadRegString(registry, kHkeyLocalMachine, "K", value, read);
        EXPECT_EQ(read, text) << value;
    }
    std::string read = "stale";
    ReadRegString(registry, kHkeyLocalMachine, "No\\Such\\Key", "cut", read);
    EXPECT_EQ(read, "");
    EXPECT_EQ(registry.OpenKeys(), 0u);
}

} // namespace
