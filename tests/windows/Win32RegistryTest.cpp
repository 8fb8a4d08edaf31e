// The port list through the real Win32 registry calls: over a tree written
// below HKEY_CURRENT_USER, and over the system's own registry.

#include "ports/PortTable.h"
#include "ports/platform/DeviceSource.h"
#include "ports/platform/Win32Registry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kTestTree[] = "Software\\FlashLoaderTest";

std::vector<std::string> Rows()
{
    std::vector<std::string> rows;
    for (const PortEntry& row : PortTable)
        if (!row.portName.empty())
            rows.push_back(row.portName + " | " + row.displayText);
    return rows;
}

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestTree);  // left by a run that did not finish
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestTree, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_base,
                                  nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegCloseKey(m_base);
        EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kTestTree), ERROR_SUCCESS);
    }

    void MakeKey(const std::string& path)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(m_base, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        RegCloseKey(key);
    }
    void Set(const std::string& path, const char* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(m_base, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void SetText(const std::string& path, const char* name, const std::string& text)
    {
        Set(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    // A device node of the running-device tree and its static key.
    void AddNode(const std::string& node, const std::string& hardwareKey, const std::string& portName,
                 const std::string& description, DWORD problem)
    {
        std::string path = "DYN\\Config Manager\\Enum\\" + node;
        SetText(path, "HardWareKey", hardwareKey);
        Set(path, "Problem", REG_BINARY, &problem, sizeof problem);
        SetText("HKLM\\Enum\\" + hardwareKey, "PortName", portName);
        SetText("HKLM\\Enum\\" + hardwareKey, "DeviceDesc", description);
    }

    HKEY m_base = nullptr;
};

TEST_F(Win32RegistryTest, DeviceTree)
{
    AddNode("C29A3B40", "Root\\*PNP0501\\0000", "COM1", "Communications Port", 0);
    AddNode("C29A3B41", "Root\\*PNP0501\\0001", "COM2", "Disabled", 22);
    AddNode("C29A3B42", "BIOS\\*PNP0400\\0D", "LPT1", "Printer Port", 0);
    AddNode("C29A3B43", "PCI\\VEN_1234\\0000", "COM4", std::string(200, 'd'), 0);  // does not fit
    Win32Registry registry(m_base);
    EnumComPorts(registry);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"COM1 | COM1 -- Communications Port", "COM4 | COM4 -- "}));
}

TEST_F(Win32RegistryTest, SerialMapWhereTheDeviceTreeIsEmpty)
{
    MakeKey("DYN\\Config Manager\\Enum");
    // Port numbers that no device of the machine has, so that none has a
    // friendly name.
    SetText("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial0", "COM201");
    SetText("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial1", "COM37");
    Win32Registry registry(m_base);
    EnumComPorts(registry);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"COM37 | COM37", "COM201 | COM201"}));
}

TEST_F(Win32RegistryTest, FixedNamesWithoutTreeOrMap)
{
    Win32Registry registry(m_base);
    EnumComPorts(registry);
    ASSERT_EQ(Rows().size(), 8u);
    EXPECT_EQ(Rows().front(), "COM1 | COM1");
    EXPECT_EQ(Rows().back(), "COM8 | COM8");
}

// The running system has no device tree with nodes (the NT family and Wine
// alike), so the rows are its serial map's ports, or COM1 to COM8 without
// a map.
TEST(SystemRegistryTest, ListsTheSerialMapOrTheFixedNames)
{
    std::vector<std::string> mapped;
    HKEY map = nullptr;
    bool hasMap = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &map) ==
                  ERROR_SUCCESS;
    for (DWORD index = 0; hasMap; ++index) {
        char name[256], data[256] = {};
        DWORD nameSize = sizeof name, size = sizeof data - 1;
        if (RegEnumValueA(map, index, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
            break;
        if (data[0] != 0 && std::find(mapped.begin(), mapped.end(), data) == mapped.end())
            mapped.push_back(data);
    }
    if (hasMap)
        RegCloseKey(map);
    std::sort(mapped.begin(), mapped.end(), [](const std::string& a, const std::string& b) { return NodeNameLess(a, b); });
    if (mapped.size() > MAX_PORTS)
        mapped.resize(MAX_PORTS);

    EnumComPorts(SystemRegistry());
    std::vector<std::string> names;
    for (const PortEntry& row : PortTable) {
        if (row.portName.empty())
            continue;
        names.push_back(row.portName);
        std::printf("  %s\n", row.displayText.c_str());
        if (row.displayText == row.portName)
            continue;
        std::string lead = row.portName + " -- ";
        EXPECT_EQ(row.displayText.rfind(lead, 0), 0u) << row.displayText;
        EXPECT_GT(row.displayText.size(), lead.size()) << row.displayText;
        EXPECT_EQ(row.displayText.find("(" + row.portName + ")"), std::string::npos) << row.displayText;
    }
    if (!hasMap) {
        ASSERT_EQ(names.size(), 8u);
        EXPECT_EQ(names.front(), "COM1");
    } else {
        EXPECT_EQ(names, mapped);
    }
}

} // namespace
