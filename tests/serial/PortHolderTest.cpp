#include "serial/PortDiagnosis.h"
#include "serial/SerialLink.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/SerialResults.h"
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

std::string AsciiPid(int pid)  // ten characters, padded with blanks, and a line end
{
    std::string digits = std::to_string(pid);
    return std::string(10 - digits.size(), ' ') + digits + "\n";
}

// A lock counts only while the process it names holds the device; planted
// FIFOs and links are no lock files and are never waited on.
TEST(PortHolderTest, LockFilesNameTheirLiveOwnerAndStaleOnesAreIgnored)
{
    ScopedTempDir dir;
    for (const char* device : {"ttyUSB7", "ttyS8", "ttyS5", "ttyS6", "ttyS4", "ttyS3", "ttyS2"})
        WriteFileBytes(dir.File(device), "");
    ASSERT_EQ(::symlink("ttyUSB7", dir.File("usb-Maker_Modem-if00").c_str()), 0);  // as in /dev/serial/by-id
    HoldingChild live(dir.File("ttyUSB7")), binaryOwner(dir.File("ttyS8"));
    pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    std::int32_t binary = binaryOwner.pid;
    std::string initName = ReadFileBytes("/proc/1/comm");
    initName.erase(initName.find('\n'));

    WriteFileBytes(dir.File("LCK..ttyUSB7"), AsciiPid(live.pid));
    WriteFileBytes(dir.File("LCK..ttyS8"), std::string(reinterpret_cast<const char*>(&binary), sizeof binary));
    WriteFileBytes(dir.File("LCK..ttyS9"), AsciiPid(gone));
    WriteFileBytes(dir.File("LCK..ttyS5"), AsciiPid(live.pid));  // live, but holds another device
    WriteFileBytes(dir.File("LCK..ttyS6"), AsciiPid(1));
    // A FIFO with a writer that offers a live pid, and one nobody writes to.
    ASSERT_EQ(::mkfifo(dir.File("LCK..ttyS4").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(dir.File("LCK..ttyS3").c_str(), 0644), 0);
    int writer = ::open(dir.File("LCK..ttyS4").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, AsciiPid(live.pid).data(), 11), 11);
    ASSERT_EQ(::symlink("LCK..ttyUSB7", dir.File("LCK..ttyS2").c_str()), 0);

    const std::string stale = "Ignoring the stale lock file " + dir.File("LCK..");
    const struct {
        std::string device;
        int pid;  // 0: not held
        std::string note;
    } cases[] = {
        {dir.File("usb-Maker_Modem-if00"), live.pid, ""},
        {dir.File("ttyS8"), binaryOwner.pid, ""},
        {"/dev/ttyS9", 0, stale + "ttyS9: pid " + std::to_string(gone) + " no longer runs."},
        {dir.File("ttyS5"), 0,
         stale + "ttyS5: pid " + std::to_string(live.pid) + " (fl-holder) does not hold the port."},
        {dir.File("ttyS6"), 0, stale + "ttyS6: pid 1 (" + initName + ") does not hold the port."},
        {dir.File("ttyS4"), 0, "Ignoring " + dir.File("LCK..ttyS4") + ": it is a FIFO, not a lock file."},
        {dir.File("ttyS3"), 0, "Ignoring " + dir.File("LCK..ttyS3") + ": it is a FIFO, not a lock file."},
        {dir.File("ttyS2"), 0, "Ignoring " + dir.File("LCK..ttyS2") + ": it is a symbolic link, not a lock file."},
        {"/dev/ttyACM0", 0, ""},
    };
    ASSERT_TRUE(live.holding && binaryOwner.holding);
    for (const auto& c : cases) {
        sp::PortHolder holder;
        EXPECT_EQ(sp::FindLockOwner(c.device, dir.Path(), "/proc", holder), c.pid != 0) << c.device;
        EXPECT_EQ(holder.pid, c.pid) << c.device;
        EXPECT_EQ(holder.name, c.pid != 0 ? "fl-holder" : "") << c.device;
        EXPECT_EQ(sp::StaleLockNote(c.device, dir.Path(), "/proc"), c.note) << c.device;
    }
    ::close(writer);
}

// Where another user's open files cannot be seen, a lock counts only when it
// belongs to the user its process runs as: one that nobody planted naming
// root's pid 1 is stale, root's own is not.
TEST(PortHolderTest, AnotherUsersProcessHoldsOnlyALockOfItsOwnUser)
{
    struct stat init {};
    if (::geteuid() != 0 || ::stat("/proc/1", &init) != 0 || init.st_uid == 65534)
        GTEST_SKIP() << "needs root, to look at locks as the user nobody";
    ScopedTempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    for (const char* device : {"ttyS1", "ttyS2"}) {
        WriteFileBytes(dir.File(device), "");
        WriteFileBytes(dir.File(std::string("LCK..") + device), AsciiPid(1));
    }
    ASSERT_EQ(::chown(dir.File("LCK..ttyS1").c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(dir.File("LCK..ttyS2").c_str(), init.st_uid, init.st_gid), 0);

    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    pid_t child = ::fork();
    if (child == 0) {
        std::string seen;
        if (::setgid(65534) == 0 && ::setuid(65534) == 0)
            for (const char* device : {"ttyS1", "ttyS2"}) {
                sp::PortHolder holder;
                seen += sp::FindLockOwner(dir.File(device), dir.Path(), "/proc", holder) ? "held " : "stale ";
            }
        (void)!::write(answer[1], seen.data(), seen.size());
        ::_exit(0);
    }
    ::close(answer[1]);
    char buffer[64] = {};
    ssize_t got = ::read(answer[0], buffer, sizeof buffer - 1);
    ::close(answer[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), "stale held ");
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
        if (device.empty() && link.OpenPort(candidate, settings, port) == OpenStatus::Ok) {
            link.ClosePort(port);
            device = candidate;
        }
    if (device.empty())
        GTEST_SKIP() << "no serial device to hold";

    HoldingChild child(device);
    ASSERT_TRUE(child.holding);
    EXPECT_EQ(link.OpenPort(device, settings, port), OpenStatus::Failed);
    EXPECT_EQ(port, kInvalidPort);
    EXPECT_EQ(DescribePortProblem(device), PortInUseText(device, {child.pid, "fl-holder"}));
}

}  // namespace

namespace {

// The group a person without permission is told to join: only one whose
// members may read and write the device, never root's.
TEST(DeviceGroupTest, NamesOnlyAGroupThatGivesAccess)
{
    ScopedTempDir dir;
    const std::string device = dir.File("ttyUSB0");
    WriteFileBytes(device, "");
    const gid_t dialout = 20;  // Debian's dialout
    const struct {
        gid_t group;
        mode_t mode;
        bool named;
    } cases[] = {{dialout, 0660, true}, {dialout, 0600, false}, {dialout, 0640, false}, {0, 0660, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.group) + " " + std::to_string(c.mode));
        if (::chown(device.c_str(), static_cast<uid_t>(-1), c.group) != 0)
            GTEST_SKIP() << "the test may not give its file another group";
        ASSERT_EQ(::chmod(device.c_str(), c.mode), 0);
        const std::string group = DeviceGroup(device);
        EXPECT_EQ(!group.empty(), c.named) << group;
        if (c.named) {
            EXPECT_TRUE(group == "dialout" || group == "20") << group;
        }
    }
    EXPECT_EQ(DeviceGroup(dir.File("missing")), "");
}

}  // namespace
