#include "serial/SerialLink.h"

#include "serial/PortNames.h"
#include "serial/platform/SerialPlatform.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/SerialResults.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override { Open(peer.SlavePath()); }
    void TearDown() override
    {
        link.ClosePort(port);
        SerialLink::SetTrace(nullptr);
    }

    void Open(const std::string& device, std::uint32_t rate = 57600)
    {
        LineSettings settings;
        settings.BaudRate = rate;
        ASSERT_EQ(link.OpenPort(device, settings, port), OpenStatus::Ok);
    }

    // Waits until the port reports at least count bytes queued.
    void AwaitQueued(std::uint32_t count)
    {
        auto start = Clock::now();
        std::uint32_t queued = 0;
        while (ElapsedMs(start) < 2000) {
            if (serial_platform::QueuedInput(port, queued) && queued >= count)
                return;
            ::usleep(1000);
        }
        FAIL() << "only " << queued << " bytes arrived";
    }

    PtyPeer peer;
    SerialLink link;
    PortHandle port = kInvalidPort;
    ReplyBuffer reply;
};

TEST_F(SerialLinkTest, ExpectedTextSplitOverTwoReadsIsFoundWhenItCompletes)
{
    peer.Write("xxO");
    std::thread later([this] {
        ::usleep(300 * 1000);
        peer.Write("K tail");
    });
    auto start = Clock::now();
    EXPECT_EQ(link.WaitForReply(port, "OK", reply, kReplyLimit, 3), ReplyStatus::Ok);
    later.join();
    EXPECT_GE(ElapsedMs(start), 250);
    EXPECT_LT(ElapsedMs(start), 2000);
    EXPECT_EQ(reply.Text().substr(0, 4), "xxOK");
}

TEST_F(SerialLinkTest, OverflowWinsOverAMatchInTheSameChunk)
{
    peer.Write("0123456789OK");
    AwaitQueued(12);
    EXPECT_EQ(link.WaitForReply(port, "OK", reply, 10, 1), ReplyStatus::TooLong);
    EXPECT_EQ(reply.Bytes(), "0123456789OK");
}

TEST_F(SerialLinkTest, OverflowLeavesAtMostNineteenBytesBeyondTheBound)
{
    peer.Write(std::string(200, 'a'));
    AwaitQueued(200);
    EXPECT_EQ(link.WaitForReply(port, "OK", reply, kReplyLimit, 1), ReplyStatus::TooLong);
    EXPECT_EQ(reply.Bytes().size(), 140u);  // seven chunks of 20
}

TEST_F(SerialLinkTest, InputQueuedBeforeTheWaitCounts)
{
    peer.Write("OK\r\n");
    AwaitQueued(4);
    auto start = Clock::now();
    EXPECT_EQ(link.WaitForReply(port, "OK\r\n", reply, kReplyLimit, 1), ReplyStatus::Ok);
    EXPECT_LT(ElapsedMs(start), 500);
}

TEST_F(SerialLinkTest, EmptyExpectedTextIsFoundAtOnce)
{
    auto start = Clock::now();
    EXPECT_EQ(link.WaitForReply(port, "", reply, kReplyLimit, 1), ReplyStatus::Ok);
    EXPECT_LT(ElapsedMs(start), 500);
}

TEST_F(SerialLinkTest, OneSecondTimeoutLastsJustOverASecondWithoutSpinning)
{
    peer.Write("noise");
    double cpuBefore = CpuSeconds();
    auto start = Clock::now();
    EXPECT_EQ(link.WaitForReply(port, "OK", reply, kReplyLimit, 1), ReplyStatus::TimedOut);
    long long elapsed = ElapsedMs(start);
    EXPECT_GT(elapsed, 1000);
    EXPECT_LT(elapsed, 1600);
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.2) << "the wait kept the processor busy";
    EXPECT_EQ(reply.Text(), "noise");
}

TEST_F(SerialLinkTest, DrainInputReadsInChunksOfAtMostOneHundredUntilEmpty)
{
    std::vector<std::size_t> reads;
    SerialLink::SetTrace([&reads](TraceDirection direction, const char*, std::size_t count) {
        if (direction == TraceDirection::Received)
            reads.push_back(count);
    });
    peer.Write(std::string(350, 'd'));
    AwaitQueued(350);
    link.DrainInput(port);
    std::uint32_t queued = 99;
    ASSERT_TRUE(serial_platform::QueuedInput(port, queued));
    EXPECT_EQ(queued, 0u);
    EXPECT_EQ(reads, (std::vector<std::size_t>{100, 100, 100, 50}));
}

TEST_F(SerialLinkTest, SendCommandDrainsAStaleAnswerFirst)
{
    peer.Write("OK\r\n");
    AwaitQueued(4);
    EXPECT_EQ(link.SendCommand(port, "AT\r", reply, "OK\r\n", kReplyLimit, std::chrono::milliseconds(200)),
              ReplyStatus::TimedOut);
    EXPECT_EQ(peer.ReadFor(100), "AT\r");
}

TEST_F(SerialLinkTest, EveryByteValueRoundTripsUnchanged)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);

    ASSERT_EQ(link.WriteBytes(port, all.data(), all.size()), ReplyStatus::Ok);
    EXPECT_EQ(peer.ReadUntil(std::string(1, '\xff'), 2000), all);

    peer.Write(all);
    AwaitQueued(256);
    EXPECT_EQ(link.WaitForReply(port, "never", reply, 255, 1), ReplyStatus::TooLong);
    EXPECT_EQ(reply.Bytes(), all);
    EXPECT_EQ(reply.Text(), "");  // the text ends at the zero byte that came first
}

TEST_F(SerialLinkTest, TransmitCommCharGoesAheadOfQueuedOutput)
{
    EXPECT_TRUE(link.TransmitCommChar(port, 'Z'));
    EXPECT_EQ(peer.ReadFor(100), "Z");

    // Far more than the far end's terminal takes in before it reads: the
    // rest waits in the queue behind it, which the byte must not wait for.
    const std::string queued(10000, 'q');
    ASSERT_EQ(link.WriteBytes(port, queued.data(), queued.size()), ReplyStatus::Ok);
    EXPECT_TRUE(link.TransmitCommChar(port, 'Z'));
    std::string got = peer.ReadUntil("Z", 2000);
    EXPECT_LT(got.size(), queued.size()) << "the byte came after everything queued";
    EXPECT_EQ(got.find_first_not_of('q'), got.size() - 1);
    EXPECT_EQ(peer.ReadFor(100), "");
}

TEST_F(SerialLinkTest, PseudoTerminalReportsBothStatusLinesOn)
{
    std::uint32_t status = 0;
    ASSERT_TRUE(link.GetCommModemStatus(port, status));
    EXPECT_EQ(status & 0x30u, 0x30u);
}

TEST_F(SerialLinkTest, PortIsHeldExclusivelyEvenByTheSameProgram)
{
    SerialLink other;
    LineSettings settings;
    settings.BaudRate = 57600;
    PortHandle second = 1234;
    EXPECT_EQ(other.OpenPort(peer.SlavePath(), settings, second), OpenStatus::Failed);
    EXPECT_EQ(second, kInvalidPort);

    link.ClosePort(port);
    EXPECT_EQ(port, kInvalidPort);
    link.ClosePort(port);  // nothing for an invalid handle
    EXPECT_EQ(other.OpenPort(peer.SlavePath(), settings, second), OpenStatus::Ok);
    other.ClosePort(second);
}

TEST_F(SerialLinkTest, WaitEndsEarlyWhenTheFarEndHasGone)
{
    PtyPeer* gone = new PtyPeer;
    SerialLink other;
    LineSettings settings;
    settings.BaudRate = 57600;
    PortHandle handle = kInvalidPort;
    ASSERT_EQ(other.OpenPort(gone->SlavePath(), settings, handle), OpenStatus::Ok);
    gone->Write("OK");
    ::usleep(50 * 1000);
    ::close(gone->MasterFd());
    ReplyBuffer lost;
    auto start = Clock::now();
    EXPECT_EQ(other.WaitForReply(handle, "OK\r\n", lost, kReplyLimit, 5), ReplyStatus::PortGone);
    EXPECT_TRUE(other.PortGone(handle));
    EXPECT_LT(ElapsedMs(start), 2000);
    other.ClosePort(handle);
    delete gone;
}

class LineSettingsTest : public ::testing::Test {
protected:
    SerialLink link;
    PortHandle port = kInvalidPort;
};

TEST_F(LineSettingsTest, CookedTerminalBecomesRawWithoutSoftwareFlowControlKeepingTheRest)
{
    PtyPeer peer(/*raw=*/false);
    termios before{};
    ASSERT_EQ(::tcgetattr(peer.SlaveFd(), &before), 0);
    ASSERT_TRUE(before.c_iflag & IXON);
    before.c_iflag |= IXOFF | IXANY | IMAXBEL | IUTF8;
    before.c_cflag |= CRTSCTS;
    ASSERT_EQ(::tcsetattr(peer.SlaveFd(), TCSANOW, &before), 0);

    LineSettings settings;
    settings.BaudRate = 256000;
    ASSERT_EQ(link.OpenPort(peer.SlavePath(), settings, port), OpenStatus::Ok);
    EXPECT_EQ(settings.BaudRate, 256000u);
    EXPECT_EQ(settings.ByteSize, 8);
    EXPECT_EQ(settings.Parity, 0);
    EXPECT_EQ(settings.StopBits, 0);

    LineSettings applied;
    ASSERT_TRUE(serial_platform::GetCommState(port, applied));
    EXPECT_EQ(applied.BaudRate, 256000u);

    termios after{};
    ASSERT_EQ(::tcgetattr(peer.SlaveFd(), &after), 0);
    EXPECT_EQ(after.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(after.c_iflag & (IMAXBEL | IUTF8), static_cast<tcflag_t>(IMAXBEL | IUTF8));
    EXPECT_TRUE(after.c_cflag & CRTSCTS) << "hardware flow control is the port's";
    EXPECT_FALSE(after.c_lflag & (ECHO | ICANON | ISIG));

    // CR goes out as CR and comes in as CR; nothing is echoed back.
    ASSERT_EQ(link.WriteBytes(port, "AT\r", 3), ReplyStatus::Ok);
    EXPECT_EQ(peer.ReadFor(150), "AT\r");
    peer.Write("A\rB\x03");
    ReplyBuffer reply;
    EXPECT_EQ(link.WaitForReply(port, "B\x03", reply, kReplyLimit, 1), ReplyStatus::Ok);
    EXPECT_EQ(reply.Text(), "A\rB\x03");
    link.ClosePort(port);
}

TEST_F(LineSettingsTest, XoffFromTheLineIsDataAndDoesNotStopWriting)
{
    PtyPeer peer(/*raw=*/false);
    LineSettings settings;
    settings.BaudRate = 57600;
    ASSERT_EQ(link.OpenPort(peer.SlavePath(), settings, port), OpenStatus::Ok);
    peer.Write("\x13");
    ReplyBuffer reply;
    EXPECT_EQ(link.WaitForReply(port, "\x13", reply, kReplyLimit, 1), ReplyStatus::Ok);

    auto start = Clock::now();
    ASSERT_EQ(link.WriteBytes(port, "AT\r", 3), ReplyStatus::Ok);
    EXPECT_EQ(peer.ReadUntil("AT\r", 1000), "AT\r");
    EXPECT_LT(ElapsedMs(start), 1000);
    link.ClosePort(port);
}

TEST_F(LineSettingsTest, RefusedBaudRateGivesMinusTwoAndLeavesNothingOpen)
{
    PtyPeer peer;
    LineSettings settings;
    settings.BaudRate = 0;
    EXPECT_EQ(link.OpenPort(peer.SlavePath(), settings, port), OpenStatus::SettingsRefused);
    EXPECT_EQ(port, kInvalidPort);
    settings.BaudRate = 57600;
    EXPECT_EQ(link.OpenPort(peer.SlavePath(), settings, port), OpenStatus::Ok);
    link.ClosePort(port);
}

class PortNameTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("FLASHLOADER_PORTS", ports.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("FLASHLOADER_PORTS"); }
    ScopedTempDir ports;
};

TEST_F(PortNameTest, ComNamesResolveThroughThePortDirectoryInAnyCase)
{
    PtyPeer peer;
    ASSERT_EQ(::symlink(peer.SlavePath().c_str(), ports.File("COM7").c_str()), 0);
    EXPECT_EQ(ResolvePortDevice("com7"), ports.File("COM7"));
    EXPECT_EQ(ResolvePortDevice("COM3"), "/dev/ttyS2");
    EXPECT_EQ(ResolvePortDevice("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolvePortDevice("COM0"), "");
    EXPECT_EQ(ResolvePortDevice("COM10"), "/dev/ttyS9");
    EXPECT_EQ(ResolvePortDevice("com256"), "/dev/ttyS255");
    EXPECT_EQ(ResolvePortDevice("COM257"), "");
    EXPECT_EQ(ResolvePortDevice("COM010"), "");
    EXPECT_EQ(ResolvePortDevice(""), "");

    SerialLink link;
    LineSettings settings;
    settings.BaudRate = 57600;
    PortHandle port = kInvalidPort;
    ASSERT_EQ(link.OpenPort("Com7", settings, port), OpenStatus::Ok);
    ASSERT_EQ(link.WriteBytes(port, "x", 1), ReplyStatus::Ok);
    EXPECT_EQ(peer.ReadFor(100), "x");
    link.ClosePort(port);
}

TEST_F(PortNameTest, MissingDanglingOrUnknownPortsCannotBeOpened)
{
    ASSERT_EQ(::symlink("/dev/pts/no-such-terminal", ports.File("COM5").c_str()), 0);
    SerialLink link;
    for (const char* name : {"COM5", "", "LPT1", "/dev/no-such-device"}) {
        LineSettings settings;
        settings.BaudRate = 57600;
        PortHandle port = 77;
        EXPECT_EQ(link.OpenPort(name, settings, port), OpenStatus::Failed) << name;
        EXPECT_EQ(port, kInvalidPort) << name;
    }
}

TEST(PortDirectoryTest, FollowsTheEnvironment)
{
    ::setenv("FLASHLOADER_PORTS", "/srv/ports", 1);
    EXPECT_EQ(PortDirectory(), "/srv/ports");
    ::unsetenv("FLASHLOADER_PORTS");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(PortDirectory(), "/cfg/flashloader/ports");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/bench", 1);
    EXPECT_EQ(PortDirectory(), "/home/bench/.config/flashloader/ports");
}

}  // namespace

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <fcntl.h>

namespace {

// The driver's low-latency flag of a serial device; false when the device
// has no such setting.
bool LowLatency(int fd, bool& set)
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return false;
    set = (info.flags & ASYNC_LOW_LATENCY) != 0;
    return true;
}

// A real serial device is asked for low latency while it is open, and gets
// its setting back at close. (USB adapters then hand on what they receive
// at once instead of at their timer's next tick.) Needs a serial device of
// the machine's own, which the system's first port usually is.
TEST(SerialLowLatencyTest, AskedForWhileOpenAndGivenBackAtClose)
{
    const char device[] = "/dev/ttyS0";
    int probe = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    bool before = false;
    if (probe < 0 || !LowLatency(probe, before) || before) {
        if (probe >= 0)
            ::close(probe);
        GTEST_SKIP() << device << " cannot be opened, has no low-latency setting, or has it on already";
    }
    ::close(probe);

    // Another test may be probing the port at this moment: then it is not ours to try.
    PortHandle handle = kInvalidPort;
    if (serial_platform::OpenDevice(device, handle) != serial_platform::OpenResult::Ok)
        GTEST_SKIP() << device << " is in use";
    bool whileOpen = false;
    EXPECT_TRUE(LowLatency(static_cast<int>(handle), whileOpen));
    EXPECT_TRUE(whileOpen);
    // Looked at through a descriptor of its own, opened while the port is
    // still ours, so that no other opener can come between.
    probe = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    serial_platform::CloseDevice(handle);
    if (probe < 0)
        GTEST_SKIP() << "a second descriptor needs the administrator's rights while the port is held";
    bool after = true;
    EXPECT_TRUE(LowLatency(probe, after));
    EXPECT_FALSE(after);
    ::close(probe);
}

// A pseudo-terminal has no such setting: it opens as before.
TEST(SerialLowLatencyTest, APortWithoutTheSettingOpensAsBefore)
{
    PtyPeer peer;
    PortHandle handle = kInvalidPort;
    ASSERT_EQ(serial_platform::OpenDevice(peer.SlavePath(), handle), serial_platform::OpenResult::Ok);
    bool set = false;
    EXPECT_FALSE(LowLatency(static_cast<int>(handle), set));
    serial_platform::CloseDevice(handle);
}

}  // namespace
