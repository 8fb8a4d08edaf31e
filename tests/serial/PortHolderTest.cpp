#include "serial/PortDiagnosis.h"
#include "serial/SerialLink.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace sp = serial_platform;

// A child process, named "fl-holder", that holds a device open (as a
// terminal program would) until the object goes.
struct HoldingChild {
    explicit HoldingChild(const std::string& device)
    {
        int ready[2];
        if (::pipe(ready) != 0 || (pid = ::fork()) < 0)
            return;
        if (pid == 0) {
            char held = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) >= 0 ? '1' : '0';
            ::prctl(PR_SET_NAME, "fl-holder");
            (void)!::write(ready[1], &held, 1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char held = '0';
        holding = ::read(ready[0], &held, 1) == 1 && held == '1';
        ::close(ready[0]);
    }
    ~HoldingChild()
    {
        if (pid > 0 && ::kill(pid, SIGKILL) == 0)
            ::waitpid(pid, nullptr, 0);
    }
    pid_t pid = -1;
    bool holding = false;
};

TEST(PortHolderTest, AnotherProcessWithTheDeviceOpenIsFoundByNameAndPid)
{
    PtyPeer peer;
    struct stat node {};
    ASSERT_EQ(::stat(peer.SlavePath().c_str(), &node), 0);
    sp::PortHolder holder;
    EXPECT_FALSE(sp::FindDeviceOpener(node.st_rdev, "/proc", holder)) << "this process's own descriptors count";

    HoldingChild child(peer.SlavePath());
    ASSERT_TRUE(child.holding);
    ASSERT_TRUE(sp::FindDeviceOpener(node.st_rdev, "/proc", holder));
    EXPECT_EQ(holder.pid, child.pid);
    EXPECT_EQ(holder.name, "fl-holder");
}

TEST(PortHolderTest, LockFilesNameTheirLiveOwnerAndStaleOnesAreIgnored)
{
    HoldingChild live("/dev/null");
    pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    std::int32_t binary = live.pid;
    auto ascii = [](int pid) {  // ten characters, padded with blanks, and a line end
        std::string digits = std::to_string(pid);
        return std::string(10 - digits.size(), ' ') + digits + "\n";
    };

    ScopedTempDir dir;
    WriteFileBytes(dir.File("ttyUSB7"), "");
    ASSERT_EQ(::symlink("ttyUSB7", dir.File("usb-Maker_Modem-if00").c_str()), 0);  // as in /dev/serial/by-id
    WriteFileBytes(dir.File("LCK..ttyUSB7"), ascii(live.pid));
    WriteFileBytes(dir.File("LCK..ttyS8"), std::string(reinterpret_cast<const char*>(&binary), sizeof binary));
    WriteFileBytes(dir.File("LCK..ttyS9"), ascii(gone));

    const struct {
        std::string device;
        int pid;  // 0: not held
    } cases[] = {{dir.File("usb-Maker_Modem-if00"), live.pid}, {"/dev/ttyS8", live.pid}, {"/dev/ttyS9", 0},
                 {"/dev/ttyACM0", 0}};
    for (const auto& c : cases) {
        sp::PortHolder holder;
        EXPECT_EQ(sp::FindLockOwner(c.device, dir.Path(), "/proc", holder), c.pid != 0) << c.device;
        EXPECT_EQ(holder.pid, c.pid) << c.device;
        EXPECT_EQ(holder.name, c.pid != 0 ? "fl-holder" : "") << c.device;
    }
}

TEST(PortHolderTest, InUseTextNamesModemManagerAndHowToKeepItAway)
{
    std::string text = PortInUseText("/dev/ttyUSB0", {812, "ModemManager"});
    EXPECT_EQ(text.find("/dev/ttyUSB0 is in use by ModemManager (pid 812). "), 0u) << text;
    EXPECT_NE(text.find("ID_MM_DEVICE_IGNORE=\"1\""), std::string::npos) << text;
    EXPECT_EQ(PortInUseText("COM2", {812, ""}), "COM2 is in use by another program. Close that program and try again.");
}

// Needs a serial device of the machine that can be opened; skipped without.
TEST(PortHolderTest, SerialDeviceOpenedFirstByAnotherProgramIsRefusedAndItsHolderNamed)
{
    SerialLink link;
    LineSettings settings;
    settings.BaudRate = 57600;
    PortHandle port = kInvalidPort;
    std::string device;
    for (const char* candidate : {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0", "/dev/ttyACM0"})
        if (device.empty() && link.OpenPort(candidate, settings, port) == kOpenOk) {
            link.ClosePort(port);
            device = candidate;
        }
    if (device.empty())
        GTEST_SKIP() << "no serial device to hold";

    HoldingChild child(device);
    ASSERT_TRUE(child.holding);
    EXPECT_EQ(link.OpenPort(device, settings, port), kOpenFailed);
    EXPECT_EQ(port, kInvalidPort);
    EXPECT_EQ(DescribePortProblem(device), PortInUseText(device, {child.pid, "fl-holder"}));
}

} // namespace
