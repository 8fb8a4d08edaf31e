// The built modemsim program on a real pseudo-terminal, driven the way the
// loader drives a modem: open the device, write lines, read replies.

#include "tests/support/ModemSim.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kReplyTimeoutMs = 5000;  // generous: only a lost reply should reach it

// The client end: the device opened as a serial port.
class Client {
public:
    explicit Client(const std::string& path, bool makeRaw = true)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd >= 0 && makeRaw) {
            termios settings{};
            ::tcgetattr(m_fd, &settings);
            ::cfmakeraw(&settings);
            settings.c_cflag |= CLOCAL | CREAD;
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~Client()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }

    void Send(std::string_view bytes)
    {
        while (!bytes.empty()) {
            ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n <= 0)
                return;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    // Reads until text has come (or the time is up); returns all it read.
    std::string ReadUntil(std::string_view text, int timeoutMs = kReplyTimeoutMs)
    {
        std::string got;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.find(text) == std::string::npos) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd fd{m_fd, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[1024];
            ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    // Everything that comes within ms milliseconds.
    std::string ReadFor(int ms) { return ReadUntil(std::string(1, '\0') + "never", ms); }

    std::string Exchange(std::string_view bytes, std::string_view until)
    {
        Send(bytes);
        return ReadUntil(until);
    }

private:
    int m_fd = -1;
};

std::string LinkTarget(const std::string& path)
{
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

TEST(ModemSimProcess, PrintsItsDeviceAndAnswersAClient)
{
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--verbose"}));
    EXPECT_EQ(sim.DevicePath().rfind("/dev/pts/", 0), 0u) << sim.DevicePath();
    Client client(sim.DevicePath());
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Exchange("AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(client.Exchange("ATI5\r", "OK\r\n"), "ATI5\r\r\nS-56K RRFL,40,1A2B,00\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_NE(sim.ErrorOutput().find("rx \"ATI5\\r\""), std::string::npos) << sim.ErrorOutput();
}

TEST(ModemSimProcess, DeviceIsRawForEveryClientThatOpensIt)
{
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({}));
    for (int round = 0; round < 2; ++round) {
        // Sets nothing: a cooked terminal would turn the CRs into LFs and
        // hold the reply back until a line end.
        Client client(sim.DevicePath(), false);
        ASSERT_TRUE(client.IsOpen());
        EXPECT_EQ(client.Exchange("ATI\r", "OK\r\n"), "ATI\r\r\nKT-56 V.92 Data/Fax Modem\r\n\r\nOK\r\n");
    }
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(ModemSimProcess, RegistersItsPortAndRemovesItOnStop)
{
    ScopedTempDir dir;
    std::string ports = dir.File("config/ports");  // made as needed
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--port", "com7"}, {"FLASHLOADER_PORTS=" + ports}));
    EXPECT_EQ(LinkTarget(ports + "/COM7"), sim.DevicePath());
    Client client(ports + "/COM7");
    EXPECT_EQ(client.Exchange("AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_EQ(ListDirectory(ports), std::vector<std::string>{});
}

TEST(ModemSimProcess, StopsOnHangUpSignalToo)
{
    ScopedTempDir dir;
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--port", "COM5"}, {"FLASHLOADER_PORTS=" + dir.Path()}));
    ASSERT_TRUE(FileExists(dir.File("COM5")));
    ::kill(sim.Pid(), SIGHUP);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(FileExists(dir.File("COM5")));
}

TEST(ModemSimProcess, TakenPortIsRefusedUnlessReplaced)
{
    ScopedTempDir dir;
    std::vector<std::string> env{"FLASHLOADER_PORTS=" + dir.Path()};
    ASSERT_EQ(::symlink("/dev/null", dir.File("COM3").c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("gone").c_str(), dir.File("COM4").c_str()), 0);

    ModemSimProcess refused;
    EXPECT_FALSE(refused.Start({"--port", "COM3"}, env));
    EXPECT_EQ(refused.Stop(), 2);
    EXPECT_NE(refused.ErrorOutput().find("COM3"), std::string::npos) << refused.ErrorOutput();
    EXPECT_EQ(LinkTarget(dir.File("COM3")), "/dev/null");

    ModemSimProcess dangling;  // a leftover entry is simply replaced
    ASSERT_TRUE(dangling.Start({"--port", "COM4"}, env));
    EXPECT_EQ(LinkTarget(dir.File("COM4")), dangling.DevicePath());

    ModemSimProcess replacing;
    ASSERT_TRUE(replacing.Start({"--port", "COM3", "--replace"}, env));
    EXPECT_EQ(LinkTarget(dir.File("COM3")), replacing.DevicePath());
    // Taken over by someone else meanwhile: not ours to remove any more.
    ASSERT_EQ(::unlink(dir.File("COM4").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", dir.File("COM4").c_str()), 0);

    EXPECT_EQ(replacing.Stop(), 0);
    EXPECT_EQ(dangling.Stop(), 0);
    EXPECT_FALSE(FileExists(dir.File("COM3")));
    EXPECT_EQ(LinkTarget(dir.File("COM4")), "/dev/null");
}

// A directory that others may write names no port for the programs, so
// registering there would only seem to work.
TEST(ModemSimProcess, RegistersNothingWhereOthersMayWrite)
{
    ScopedTempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    ModemSimProcess refused;
    EXPECT_FALSE(refused.Start({"--port", "COM3"}, {"FLASHLOADER_PORTS=" + dir.Path()}));
    EXPECT_EQ(refused.Stop(), 1);
    EXPECT_NE(refused.ErrorOutput().find("may be written by other users"), std::string::npos) << refused.ErrorOutput();
    EXPECT_FALSE(FileExists(dir.File("COM3")));
}

TEST(ModemSimProcess, WinePortLeadsToTheDeviceWhileItRuns)
{
    for (int signal : {SIGTERM, SIGINT}) {
        ScopedTempDir prefix;
        std::string devices = prefix.File("dosdevices");
        ASSERT_EQ(::mkdir(devices.c_str(), 0700), 0);
        ASSERT_EQ(::symlink("/dev/ttyS4", (devices + "/com5").c_str()), 0);  // as Wine makes them
        ModemSimProcess sim;
        ASSERT_TRUE(sim.Start({"--wine-port", "COM5"}, {"WINEPREFIX=" + prefix.Path()}));
        EXPECT_EQ(LinkTarget(devices + "/com5"), sim.DevicePath());
        Client client(devices + "/com5");
        EXPECT_EQ(client.Exchange("AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
        ::kill(sim.Pid(), signal);
        EXPECT_EQ(sim.Stop(), 0) << signal;
        EXPECT_EQ(ListDirectory(devices), std::vector<std::string>{}) << signal;
    }
}

TEST(ModemSimProcess, WinePortNeedsAWinePrefix)
{
    ScopedTempDir prefix;
    ModemSimProcess sim;
    EXPECT_FALSE(sim.Start({"--wine-port", "com6"}, {"WINEPREFIX=" + prefix.Path()}));
    EXPECT_EQ(sim.Stop(), 2);
    EXPECT_NE(sim.ErrorOutput().find(prefix.File("dosdevices") + " does not exist"), std::string::npos)
        << sim.ErrorOutput();
}

TEST(ModemSimProcess, FlashSessionEndsUpInTheFlashOutFile)
{
    ScopedTempDir dir;
    std::string out = dir.File("flash.hex");
    const std::string records[] = {
        ":020000040001F9",
        ":10000000000102030405060708090A0B0C0D0E0F78",
        ":10001000101112131415161718191A1B1C1D1E1F68",
        ":00000001FF",
    };
    std::string expected;
    for (const std::string& record : records)
        expected += record + "\r\n";

    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--flash-out", out}));
    Client client(sim.DevicePath());
    EXPECT_EQ(client.Exchange("AT&&FGO\r", "OK\r\n"), "AT&&FGO\r\r\nFLASH LOADER Ver:4.4\r\nOK\r\n");
    for (const std::string& record : records)
        EXPECT_EQ(client.Exchange(record + "\r\n", "OK\r\n"), "OK\r\n") << record;
    EXPECT_EQ(ReadFileBytes(out), expected);  // saved as soon as the image was complete
    EXPECT_EQ(client.Exchange("AT\r", "OK\r\n"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_EQ(ReadFileBytes(out), expected);
}

TEST(ModemSimProcess, PreloadedFlashIsSavedUntilErased)
{
    ScopedTempDir dir;
    WriteFileBytes(dir.File("in.hex"), ":02010000F0AA63\n:00000001FF\n");
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--flash-in", dir.File("in.hex"), "--flash-out", dir.File("out.hex")}));
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("out.hex")), ":02010000F0AA63\r\n:00000001FF\r\n");
}

TEST(ModemSimProcess, RefusalsAndRestartOverTheLine)
{
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--nok-at", "1:4", "--nok-code-first", "--restart-delay", "0.05"}));
    Client client(sim.DevicePath());
    client.Exchange("AT&&FGO\r", "OK\r\n");
    EXPECT_EQ(client.Exchange(":020000001122CB\r\n", "OK\r\n"), "OK\r\n");
    EXPECT_EQ(client.Exchange(":02010000F0AA63\r\n", "NOK\r\n"), "NOK4\r\nNOK\r\n");
    EXPECT_EQ(client.Exchange(":020000001122CB\r\n", "NOK\r\n"), "NOK4\r\nNOK\r\n");
    EXPECT_EQ(client.Exchange("Z", "OK\r\n"), "\r\nFLASH LOADER Ver:4.4\r\nOK\r\n");
    EXPECT_EQ(client.Exchange(":02010000F0AA63\r\n", "OK\r\n"), "OK\r\n");
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(ModemSimProcess, ChunkedPacedRepliesArriveIntact)
{
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--chunk", "2", "--chunk-gap-ms", "1", "--pace", "19200"}));
    Client client(sim.DevicePath());
    EXPECT_EQ(client.Exchange("ATI\r", "OK\r\n"), "ATI\r\r\nKT-56 V.92 Data/Fax Modem\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(ModemSimProcess, SilentModemAnswersNothing)
{
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--silent"}));
    Client client(sim.DevicePath());
    client.Send("AT\rATI\r");
    EXPECT_EQ(client.ReadFor(300), "");
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(ModemSimProcess, BadOptionsExitWithStatusTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "COM257"},    {"--type", "7"},           {"--nok2", "1.5"},       {"--checksum", "12G4"},
        {"--sector", "32"},      {"--ident", "Modem OK"},   {"--nok-at", "4"},       {"--delay-ack-at", "1:soon"},
        {"--frobnicate"},        {"--loader-version", "x"}, {"--drop-ack-at", "-1"}, {"--wine-port", "COM0"},
        {"--wine-port", "LPT1"},
    };
    for (const std::vector<std::string>& args : cases) {
        ModemSimProcess sim;
        EXPECT_FALSE(sim.Start(args)) << args[0];
        EXPECT_EQ(sim.Stop(), 2) << args[0];
        EXPECT_FALSE(sim.ErrorOutput().empty()) << args[0];
    }
}

// Every refusal names the option and the value it refuses, whichever part
// of the command line it belongs to; the first bad option is the one named.
TEST(ModemSimProcess, BadOptionIsNamedWithItsValue)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--port", "COM257"}, "--port: 'COM257' is no port name"},
        {{"--wine-port", "LPT1"}, "--wine-port: 'LPT1' is no port name"},
        {{"--ident", "ok then"}, "--ident: the text must not contain OK"},
        {{"--type", "7"}, "--type: '7' is no type letter"},
        {{"--sector", "none!"}, "--sector: 'none!' is no sector size"},
        {{"--checksum", "12345"}, "--checksum: '12345' is not four hex digits"},
        {{"--loader-version", "4.4b"}, "--loader-version: '4.4b' is no version"},
        {{"--nok-at", "3:5"}, "--nok-at: '3:5' is not LINE:CODE"},
        {{"--drop-ack-at", "x"}, "--drop-ack-at: 'x' is no line index"},
        {{"--drop-loader-ack-at", "2", "--drop-loader-ack-at", "-2"}, "--drop-loader-ack-at: '-2' is no line index"},
        {{"--delay-loader-at", "4"}, "--delay-loader-at: '4' is not LINE:SECONDS"},
        {{"--delay-ack-at", "1:-3"}, "--delay-ack-at: '1:-3' is not LINE:SECONDS"},
        {{"--type", "XY", "--port", "COM0"}, "--port: 'COM0'"},
        {{"--delay-ack-at", "x", "--nok-at", "1"}, "--nok-at: '1'"},
    };
    for (const Case& c : cases) {
        ModemSimProcess sim;
        EXPECT_FALSE(sim.Start(c.args)) << c.message;
        EXPECT_EQ(sim.Stop(), 2) << c.message;
        EXPECT_EQ(sim.ErrorOutput().rfind("modemsim: " + c.message, 0), 0u) << sim.ErrorOutput();
    }
}

}  // namespace
