#include "app/LoaderApp.h"
#include "ports/PortTable.h"
#include "ports/platform/DeviceSource.h"
#include "resources/StringTable.h"

#include "tests/support/ModemSim.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

class FakeDevices : public DeviceSource {
public:
    bool ListDevices(std::vector<SerialDevice>& out) override
    {
        out = devices;
        return readable;
    }
    std::vector<SerialDevice> devices;
    bool readable = true;
};

class PortDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("FLASHLOADER_PORTS", ports.c_str(), 1); }
    void TearDown() override { ::unsetenv("FLASHLOADER_PORTS"); }

    void Register(const std::string& name, const std::string& target)
    {
        ::mkdir(ports.c_str(), 0755);
        ASSERT_EQ(::symlink(target.c_str(), (ports + "/" + name).c_str()), 0);
    }
    std::string Target(const std::string& name)
    {
        char buffer[256] = {};
        return ::readlink((ports + "/" + name).c_str(), buffer, sizeof buffer - 1) > 0 ? buffer : "";
    }
    std::vector<std::string> Rows()
    {
        std::vector<std::string> rows;
        for (const PortEntry& row : PortTable)
            if (!row.portName.empty())
                rows.push_back(row.displayText);
        return rows;
    }

    ScopedTempDir dir;
    std::string ports = dir.File("ports");
    FakeDevices devices;
};

TEST_F(PortDiscoveryTest, DevicesGetLastingComNamesInNumberOrder)
{
    Register("COM2", "/dev/ttyUSB7");  // a device assigned in an earlier run
    devices.devices = {{"/dev/ttyUSB7", "", "FT232R USB UART (FTDI)", ""},
                       {"/dev/ttyACM0", "/dev/serial/by-id/usb-Kestrolan_Modem-if00", "KT-56 USB Modem", ""},
                       {"/dev/ttyS4", "", "Serial port", "permission denied: join the dialout group"}};
    EnumComPorts(devices);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"COM1 -- KT-56 USB Modem", "COM2 -- FT232R USB UART (FTDI)",
                                                "COM3 -- Serial port: permission denied: join the dialout group"}));
    EXPECT_EQ(Target("COM1"), "/dev/serial/by-id/usb-Kestrolan_Modem-if00");  // survives replugging
    EXPECT_EQ(Target("COM3"), "/dev/ttyS4");

    // Next run, devices found in another order: the same names.
    std::swap(devices.devices[0], devices.devices[2]);
    devices.devices[1].node = "/dev/ttyACM1";  // replugged under another node
    EnumComPorts(devices);
    EXPECT_EQ(Rows()[0], "COM1 -- KT-56 USB Modem");
    EXPECT_EQ(PortTable[2].portName, "COM3");
}

TEST_F(PortDiscoveryTest, AtMostEightRowsAndNineNames)
{
    for (int i = 0; i < 10; ++i)
        devices.devices.push_back({"/dev/ttyUSB" + std::to_string(i), "", "USB serial", ""});
    EnumComPorts(devices);
    EXPECT_EQ(Rows().size(), 8u);
    EXPECT_EQ(PortTable[7].portName, "COM8");
    EXPECT_EQ(Target("COM9"), "/dev/ttyUSB8");
    EXPECT_EQ(Target("COM10"), "");
}

TEST_F(PortDiscoveryTest, SimulatedModemsAreListedAndUnpluggedDevicesAreNot)
{
    Register("COM3", "/dev/pts/4242");       // a simulator that has gone
    Register("COM6", "/dev/ttyUSB9");        // a device not plugged in
    Register("COM7", "/dev/null");           // made by hand for some device
    EnumComPorts(devices);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"COM3 -- simulated modem (/dev/pts/4242)", "COM7 -- /dev/null"}));
}

TEST_F(PortDiscoveryTest, FixedNamesWhenNothingCanBeRead)
{
    devices.readable = false;
    EnumComPorts(devices);
    ASSERT_EQ(Rows().size(), 8u);
    for (int i = 0; i < MAX_PORTS; ++i) {
        EXPECT_EQ(PortTable[i].portName, "COM" + std::to_string(i + 1));
        EXPECT_EQ(PortTable[i].displayText, PortTable[i].portName);
    }
}

TEST_F(PortDiscoveryTest, EnumerationClearsTheEarlierScan)
{
    Register("COM1", "/dev/pts/4242");
    EnumComPorts(devices);
    PortTable[0].identification = "old modem";
    PortTable[0].modemFound = 1;
    PortTable[5].portName = "COM6";
    EnumComPorts(devices);
    EXPECT_EQ(PortTable[0].identification, "");
    EXPECT_EQ(PortTable[0].modemFound, 0);
    EXPECT_EQ(PortTable[5].portName, "");
}

// Whole scans against simulated modems registered in the port directory.
class ScanTest : public PortDiscoveryTest {
protected:
    void StartModem(ModemSimProcess& sim, const std::string& port, std::vector<std::string> args = {})
    {
        args.insert(args.end(), {"--port", port});
        ASSERT_TRUE(sim.Start(args, {"FLASHLOADER_PORTS=" + ports}));
    }
    ScriptedUi ui;
};

TEST_F(ScanTest, ModemOnTheSecondOfTwoPorts)
{
    ModemSimProcess silent, modem;
    StartModem(silent, "COM1", {"--silent"});
    StartModem(modem, "COM2", {"--ident", "KT-56 Bench"});
    EXPECT_EQ(CLoaderApp::ScanForModems(ui, devices), 1);
    EXPECT_EQ(PortTable[0].modemFound, 0);
    EXPECT_EQ(PortTable[0].identification, "");
    EXPECT_EQ(PortTable[1].modemFound, 1);
    EXPECT_EQ(PortTable[1].identification, "KT-56 Bench");
    EXPECT_EQ(ui.events, (std::vector<std::string>{"notice", "notice closed"}));
    EXPECT_EQ(ui.noticeText, " COM1 COM2      ");
    EXPECT_EQ(ui.noticeTexts[1], " COM1");  // the name goes up before its probe
}

TEST_F(ScanTest, EveryModemIsMarked)
{
    ModemSimProcess first, second;
    StartModem(first, "COM4");
    StartModem(second, "COM9");
    EXPECT_EQ(CLoaderApp::ScanForModems(ui, devices), 1);
    EXPECT_EQ(PortTable[0].modemFound + PortTable[1].modemFound, 2);
    EXPECT_EQ(PortTable[1].portName, "COM9");
}

TEST_F(ScanTest, NoModemAnywhereIsSaidOnceAfterTheNoticeIsGone)
{
    Register("COM3", "/dev/pts/4242");
    EXPECT_EQ(CLoaderApp::ScanForModems(ui, devices), 0);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"notice", "notice closed", "message"}));
    EXPECT_EQ(ui.messages[0].text, LoadResString(IDS_NO_PORT_AVAILABLE));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(ui.noticeText, " COM3       ");
}

} // namespace

namespace {

TEST(SystemDeviceSourceTest, ListsOnlyExistingTerminalDevices)
{
    std::vector<SerialDevice> found;
    if (!SystemDeviceSource()->ListDevices(found))
        GTEST_SKIP() << "no device registry on this machine";
    for (const SerialDevice& device : found) {
        EXPECT_EQ(device.node.rfind("/dev/", 0), 0u) << device.node;
        EXPECT_EQ(::access(device.node.c_str(), F_OK), 0) << device.node;
        EXPECT_EQ(device.node.find("/dev/pts/"), std::string::npos);
        EXPECT_FALSE(device.description.empty());
    }
}

} // namespace
