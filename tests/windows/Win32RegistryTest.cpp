// The port list through the real Win32 registry calls: over a tree written
// below HKEY_CURRENT_USER, and over the system's own registry.

#include "ports/PortTable.h"
#include "ports/platform/DeviceSource.h"
#include "ports/platform/Win32Registry.h"
#include "tests/support/PortRows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kTestTree[] = "Software\\FlashLoaderTest";

// Makes the key below base and sets the value if named.
void Set(HKEY base, const std::string& path, const char* name = nullptr, DWORD type = REG_SZ,
         const std::string& data = "")
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(base, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD size = static_cast<DWORD>(data.size() + (type == REG_SZ ? 1 : 0));
    if (name != nullptr) {
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()), size), ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

TEST(Win32RegistryTest, TreeBelowTheCurrentUser)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestTree);  // left by a run that did not finish
    HKEY base = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestTree, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &base, nullptr),
              ERROR_SUCCESS);
    Win32Registry registry(base);
    EnumComPorts(registry);
    EXPECT_EQ(PortRows().size(), 8u);  // neither tree nor map: COM1 to COM8

    // Port numbers that no device of the machine has: no friendly names.
    Set(base, "DYN\\Config Manager\\Enum");
    Set(base, "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial0", REG_SZ, "COM201");
    Set(base, "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial1", REG_SZ, "COM37");
    EnumComPorts(registry);
    EXPECT_EQ(PortRows(), (std::vector<std::string>{"COM37 | COM37", "COM201 | COM201"}));

    const std::string problem(4, '\0'), disabled("\x16\0\0\0", 4);
    for (auto [node, hardwareKey, port, description, code] :
         {std::make_tuple("C1", "Root\\*PNP0501\\0000", "COM1", std::string("Communications Port"), problem),
          std::make_tuple("C2", "Root\\*PNP0501\\0001", "COM2", std::string("Disabled"), disabled),
          std::make_tuple("C3", "BIOS\\*PNP0400\\0D", "LPT1", std::string("Printer Port"), problem),
          std::make_tuple("C4", "PCI\\VEN_1234\\0", "COM4", std::string(200, 'd'), problem)}) {
        Set(base, std::string("DYN\\Config Manager\\Enum\\") + node, "HardWareKey", REG_SZ, hardwareKey);
        Set(base, std::string("DYN\\Config Manager\\Enum\\") + node, "Problem", REG_BINARY, code);
        Set(base, std::string("HKLM\\Enum\\") + hardwareKey, "PortName", REG_SZ, port);
        Set(base, std::string("HKLM\\Enum\\") + hardwareKey, "DeviceDesc", REG_SZ, description);
    }
    EnumComPorts(registry);
    EXPECT_EQ(PortRows(), (std::vector<std::string>{"COM1 | COM1 -- Communications Port", "COM4 | COM4 -- "}));

    RegCloseKey(base);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kTestTree), ERROR_SUCCESS);
}

// The system has no device tree with nodes (neither the NT family nor
// Wine): the rows are the ports of its serial map, or COM1 to COM8 where it
// has none.
TEST(Win32RegistryTest, SystemRegistry)
{
    HKEY map = nullptr;
    bool hasMap =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &map) == ERROR_SUCCESS;
    if (hasMap)
        RegCloseKey(map);
    EnumComPorts(SystemRegistry());
    std::vector<std::string> names;
    for (const PortEntry& row : PortTable)
        if (!row.portName.empty()) {
            std::printf("  %s\n", row.displayText.c_str());
            names.push_back(row.portName);
            EXPECT_TRUE(row.displayText == row.portName || row.displayText.rfind(row.portName + " -- ", 0) == 0);
        }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), NodeNameLess));
    if (!hasMap) {
        EXPECT_EQ(names.size(), 8u);
    }
}

}  // namespace
