#include "app/LoaderApp.h"
#include "ports/PortTable.h"
#include "ports/platform/DeviceSource.h"
#include "resources/StringTable.h"

#include "serial/PortNames.h"
#include "tests/support/HeldPort.h"
#include "tests/support/ModemSim.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/ShortLimits.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string LinkTarget(const std::string& path)
{
    char buffer[256] = {};
    return ::readlink(path.c_str(), buffer, sizeof buffer - 1) > 0 ? buffer : "";
}

// Sets or removes an environment variable for the object's life.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

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
    std::string Target(const std::string& name) { return LinkTarget(ports + "/" + name); }
    // The entry's own time, which tells when its device was last seen.
    void SetSeen(const std::string& name, std::time_t when)
    {
        timespec times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (ports + "/" + name).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
    std::time_t Seen(const std::string& name)
    {
        struct stat info {};
        return ::lstat((ports + "/" + name).c_str(), &info) == 0 ? info.st_mtime : 0;
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
                                                "COM5 -- Serial port: permission denied: join the dialout group"}));
    EXPECT_EQ(Target("COM1"), "/dev/serial/by-id/usb-Kestrolan_Modem-if00");  // survives replugging
    EXPECT_EQ(Target("COM5"), "/dev/ttyS4");

    // Next run, devices found in another order: the same names.
    std::swap(devices.devices[0], devices.devices[2]);
    devices.devices[1].node = "/dev/ttyACM1";  // replugged under another node
    EnumComPorts(devices);
    EXPECT_EQ(Rows()[0], "COM1 -- KT-56 USB Modem");
    EXPECT_EQ(PortTable[2].portName, "COM5");
}

TEST_F(PortDiscoveryTest, AFreshAccountGetsTheWholePortDirectory)
{
    std::string home = dir.File("home");
    ASSERT_EQ(::mkdir(home.c_str(), 0755), 0);
    ::unsetenv("FLASHLOADER_PORTS");
    ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr), freshHome("HOME", home.c_str());
    devices.devices = {{"/dev/ttyUSB0", "/dev/serial/by-id/usb-Kestrolan_Modem-if00", "KT-56 USB Modem", ""},
                       {"/dev/ttyS0", "", "Serial port", ""}};
    EnumComPorts(devices);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"COM1 -- Serial port", "COM2 -- KT-56 USB Modem"}));
    EXPECT_EQ(LinkTarget(home + "/.config/flashloader/ports/COM2"), "/dev/serial/by-id/usb-Kestrolan_Modem-if00");
    for (std::string folder : {"/.config", "/.config/flashloader", "/.config/flashloader/ports"}) {
        struct stat info {};
        ASSERT_EQ(::stat((home + folder).c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 07777, 0700u) << folder;
    }
}

// The devices are listed in plain-text order, as a registry may give them.
TEST_F(PortDiscoveryTest, FirstNamesKeepWhatComnMeantAndFollowTheNodeNumbers)
{
    devices.devices = {{"/dev/ttyACM0", "", "USB modem", ""},
                       {"/dev/ttyS0", "", "Serial port", ""},
                       {"/dev/ttyS3", "", "Serial port", ""},
                       {"/dev/ttyUSB10", "", "USB serial", ""},
                       {"/dev/ttyUSB2", "", "USB serial", ""}};
    struct Case {
        std::vector<std::pair<std::string, std::string>> before, after;
    };
    const Case cases[] = {
        {{},
         {{"COM1", "/dev/ttyS0"},
          {"COM2", "/dev/ttyACM0"},
          {"COM3", "/dev/ttyUSB2"},
          {"COM4", "/dev/ttyS3"},
          {"COM5", "/dev/ttyUSB10"}}},
        // COM1 and COM4 mean something else already: the ports take free names.
        {{{"COM1", "/dev/null"}, {"COM4", "/dev/ttyUSB9"}},
         {{"COM1", "/dev/null"},
          {"COM2", "/dev/ttyACM0"},
          {"COM3", "/dev/ttyS0"},
          {"COM4", "/dev/ttyUSB9"},
          {"COM5", "/dev/ttyS3"},
          {"COM6", "/dev/ttyUSB2"},
          {"COM7", "/dev/ttyUSB10"}}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(ports);
        for (const auto& [name, target] : c.before)
            Register(name, target);
        EnumComPorts(devices);
        std::vector<std::pair<std::string, std::string>> after;
        for (int n = 1; n <= 9; ++n)
            if (!Target(ComPortName(n)).empty())
                after.emplace_back(ComPortName(n), Target(ComPortName(n)));
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(Rows().size(), c.after.size() - (c.before.empty() ? 0 : 1));  // not the unplugged one
    }
}

TEST_F(PortDiscoveryTest, WhenNamesRunOutTheNameGoneLongestIsGivenBack)
{
    PtyPeer live;
    const std::time_t day = 86400, start = std::time(nullptr);
    struct Entry {
        std::string name, target;
        std::time_t seen;
        std::string after;
    };
    const Entry table[] = {
        {"COM1", live.SlavePath(), 1 * day, live.SlavePath()},  // a simulator that still runs
        {"COM2", "/dev/pts/4242", 4 * day, "/dev/ttyACM2"},     // a simulator that has gone
        {"COM3", "/dev/ttyUSB9", 2 * day, "/dev/ttyACM0"},      // unplugged, longest ago
        {"COM4", "/dev/null", 1 * day, "/dev/null"},            // made by hand
        {"COM5", "/dev/tty", 3 * day, "/dev/ttyACM1"},          // a terminal node the registry does not list
        {"COM6", "/dev/ttyUSB0", 1 * day, "/dev/ttyUSB0"},      // plugged in
        {"COM7", "/dev/ttyUSB1", 1 * day, "/dev/ttyUSB1"},     {"COM8", "/dev/ttyUSB2", 1 * day, "/dev/ttyUSB2"},
        {"COM9", "/dev/ttyUSB3", 1 * day, "/dev/ttyUSB3"},
    };
    for (const Entry& e : table) {
        Register(e.name, e.target);
        SetSeen(e.name, e.seen);
    }
    // Every name above the table's is taken by a port made by hand.
    for (int n = 10; n <= 256; ++n)
        Register(ComPortName(n), "/dev/null");
    for (const char* node : {"/dev/ttyACM3", "/dev/ttyACM1", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2",
                             "/dev/ttyUSB3", "/dev/ttyACM0", "/dev/ttyACM2"})
        devices.devices.push_back({node, "", "USB modem", ""});
    EnumComPorts(devices);
    for (const Entry& e : table) {
        EXPECT_EQ(Target(e.name), e.after) << e.name;
        EXPECT_GE(Seen(e.name), start) << e.name << " is not marked as seen now";
    }
    EXPECT_EQ(ListDirectory(ports).size(), 256u);  // no temporary link left behind
    // Every name taken, one port more: the one without a name still gets a row.
    EXPECT_EQ(PortTable[7].portName, "/dev/ttyACM3");
    EXPECT_EQ(PortTable[7].displayText,
              "/dev/ttyACM3 -- USB modem (no COM name: COM1 to COM256 all belong to devices that are present)");
}

// The wizard's table has eight rows; every device gets a name all the same,
// and the command line's listing has them all.
TEST_F(PortDiscoveryTest, AtMostEightRowsAndANameForEveryDevice)
{
    for (int i = 0; i < 12; ++i)
        devices.devices.push_back({"/dev/ttyUSB" + std::to_string(i), "", "USB serial", ""});
    EnumComPorts(devices);
    EXPECT_EQ(Rows().size(), 8u);
    EXPECT_EQ(PortTable[7].portName, "COM8");
    EXPECT_EQ(Target("COM12"), "/dev/ttyUSB11");
    EXPECT_EQ(Target("COM13"), "");
    std::vector<PortEntry> all = ListAllPorts(devices);
    ASSERT_EQ(all.size(), 12u);
    EXPECT_EQ(all[9].portName, "COM10");  // in number order: COM10 after COM9
    EXPECT_EQ(all[11].displayText, "COM12 -- USB serial");
}

TEST_F(PortDiscoveryTest, SimulatedModemsAreListedAndUnpluggedDevicesAreNot)
{
    Register("COM3", "/dev/pts/4242");  // a simulator that has gone
    Register("COM6", "/dev/ttyUSB9");   // a device not plugged in
    Register("COM7", "/dev/null");      // made by hand for some device
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

// Whole scans against simulated modems registered in the port directory,
// with short limits: a silent port costs a fraction of a second.
class ScanTest : public PortDiscoveryTest {
protected:
    int Scan() { return CLoaderApp::ScanForModems(ui, devices, ShortLimits()); }
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
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(PortTable[0].modemFound, 0);
    EXPECT_EQ(PortTable[0].identification, "");
    EXPECT_EQ(PortTable[1].modemFound, 1);
    EXPECT_EQ(PortTable[1].identification, "KT-56 Bench");
    EXPECT_EQ(ui.events, (std::vector<std::string>{"notice", "notice closed"}));
    EXPECT_EQ(ui.noticeText, " COM1 COM2      ");
    EXPECT_EQ(ui.noticeTexts[1], " COM1");  // the name goes up before its probe
}

// A grey row whose port another program holds says so; one whose handshake
// went unanswered keeps its text.
TEST_F(ScanTest, AHeldPortsRowSaysItIsInUse)
{
    ModemSimProcess silent, modem, busy;
    StartModem(silent, "COM1", {"--silent"});
    StartModem(modem, "COM2");
    StartModem(busy, "COM3");
    HeldPort held(busy.DevicePath());
    ASSERT_TRUE(held.Held());
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(PortTable[0].displayText, "COM1 -- simulated modem (" + silent.DevicePath() + ")");
    EXPECT_EQ(PortTable[2].displayText.rfind("COM3 -- simulated modem (" + busy.DevicePath() + ") (in use by ", 0), 0u)
        << PortTable[2].displayText;
}

TEST_F(ScanTest, DevicesThatCannotBeNamedAreListedAndProbedUnderAPathThatReachesThem)
{
    WriteFileBytes(dir.File("file"), "");
    std::string blocked = dir.File("file/ports");
    ::setenv("FLASHLOADER_PORTS", blocked.c_str(), 1);
    ModemSimProcess modem;
    ASSERT_TRUE(modem.Start({"--ident", "KT-56 Bench"}));
    devices.devices = {{modem.DevicePath(), "", "KT-56 USB Modem", ""}, {"/dev/ttyS8", "", "Serial port", ""}};
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"COM9 -- Serial port",  // what COM9 means without an entry
                                                modem.DevicePath() + " -- KT-56 USB Modem (no COM name: cannot make " +
                                                    blocked + ": Not a directory)"}));
    EXPECT_EQ(PortTable[1].portName, modem.DevicePath());
    EXPECT_EQ(PortTable[1].identification, "KT-56 Bench");
}

// A port directory that others may write names nothing: its simulated modem
// is not probed, no name is recorded there, and the devices are listed under
// their paths, saying why.
TEST_F(ScanTest, ADirectoryOthersMayWriteIsNeitherFollowedNorWritten)
{
    ModemSimProcess planted, modem;
    StartModem(planted, "COM2");
    ASSERT_EQ(::chmod(ports.c_str(), 0777), 0);
    ASSERT_TRUE(modem.Start({"--ident", "KT-56 Bench"}));
    devices.devices = {{modem.DevicePath(), "", "KT-56 USB Modem", ""}};
    EXPECT_EQ(Scan(), 1);
    const std::string why = "the port directory " + ports +
                            " may be written by other users, so its COM names "
                            "cannot be trusted: make it yours alone with \"chmod go-w " +
                            ports + "\"";
    EXPECT_EQ(Rows(),
              (std::vector<std::string>{"COM2 -- not used: " + why,
                                        modem.DevicePath() + " -- KT-56 USB Modem (no COM name: " + why + ")"}));
    EXPECT_EQ(PortTable[0].modemFound, 0);
    EXPECT_EQ(PortTable[1].identification, "KT-56 Bench");
    EXPECT_EQ(ListDirectory(ports).size(), 1u);
}

TEST_F(ScanTest, InASharedStickyDirectoryOnlyTheUsersOwnEntriesCount)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to give an entry to the user nobody";
    ModemSimProcess planted, modem;
    StartModem(planted, "COM1");
    ASSERT_EQ(::lchown((ports + "/COM1").c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(ports.c_str(), 01777), 0);
    ASSERT_TRUE(modem.Start({"--ident", "KT-56 Bench"}));
    devices.devices = {{modem.DevicePath(), "", "KT-56 USB Modem", ""}};
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"COM1 -- not used: COM1 in " + ports +
                                                    " belongs to another user (uid 65534): remove it (rm " + ports +
                                                    "/COM1) so the scan can name the port again",
                                                "COM2 -- KT-56 USB Modem"}));
    EXPECT_EQ(PortTable[0].modemFound, 0);
    EXPECT_EQ(PortTable[1].identification, "KT-56 Bench");
    EXPECT_EQ(Target("COM2"), modem.DevicePath());
}

TEST_F(ScanTest, EveryModemIsMarked)
{
    ModemSimProcess first, second;
    StartModem(first, "COM4");
    StartModem(second, "COM9");
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(PortTable[0].modemFound + PortTable[1].modemFound, 2);
    EXPECT_EQ(PortTable[1].portName, "COM9");
}

TEST_F(ScanTest, NoModemAnywhereIsSaidOnceAfterTheNoticeIsGone)
{
    Register("COM3", "/dev/pts/4242");
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"notice", "notice closed", "message"}));
    EXPECT_EQ(ui.messages[0].text, LoadResString(IDS_NO_PORT_AVAILABLE));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(ui.noticeText, " COM3       ");
}

}  // namespace

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

}  // namespace
