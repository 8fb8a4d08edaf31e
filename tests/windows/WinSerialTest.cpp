// The serial channel on Win32, driven over real COM ports: under Wine these
// are a prefix's dosdevices links to simulated modems (modemsim --wine-port).
// FL_TEST_MODEM_PORT names a port with a modem that answers,
// FL_TEST_SILENT_PORT one whose modem answers nothing; cases that need one
// are skipped without it.

#include "app/LoaderApp.h"
#include "flash/ModemLink.h"
#include "serial/PortDiagnosis.h"
#include "serial/SerialLink.h"
#include "tests/support/SerialResults.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

namespace sp = serial_platform;
using Clock = std::chrono::steady_clock;

std::string EnvPort(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

HANDLE Win(PortHandle port) { return reinterpret_cast<HANDLE>(port); }

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

class WinSerialTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        link.ClosePort(port);
        SerialLink::ClearStopRequest();
    }

    // Opens the port with the program's settings; false (and the case
    // skipped) when the variable naming it is not set.
    bool OpenFrom(const char* variable)
    {
        name = EnvPort(variable);
        if (name.empty())
            return false;
        LineSettings settings;
        settings.BaudRate = 57600;
        EXPECT_EQ(link.OpenPort(name, settings, port), OpenStatus::Ok) << name;
        return port != kInvalidPort;
    }

    ModemLink link;
    PortHandle port = kInvalidPort;
    std::string name;
    ReplyBuffer reply;
};

TEST_F(WinSerialTest, OpenChangesTheFourLineSettingsAndTheTimeOutsOnly)
{
    std::string modem = EnvPort("FL_TEST_MODEM_PORT");
    if (modem.empty())
        GTEST_SKIP() << "FL_TEST_MODEM_PORT is not set";
    // Leave the port with settings of its own, all unlike the program's.
    HANDLE raw =
        ::CreateFileA(("\\\\.\\" + modem).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    DCB original{}, before{};
    original.DCBlength = sizeof original;
    ASSERT_TRUE(::GetCommState(raw, &original));
    before = original;
    before.BaudRate = 9600, before.ByteSize = 7, before.Parity = EVENPARITY, before.StopBits = TWOSTOPBITS;
    before.XonChar = 0x15, before.XoffChar = 0x16;
    ASSERT_TRUE(::SetCommState(raw, &before));
    ASSERT_TRUE(::GetCommState(raw, &before));
    COMMTIMEOUTS odd{5, 6, 7, 8, 9};
    ASSERT_TRUE(::SetCommTimeouts(raw, &odd));
    ::CloseHandle(raw);

    ASSERT_TRUE(OpenFrom("FL_TEST_MODEM_PORT"));
    DCB after{};
    after.DCBlength = sizeof after;
    ASSERT_TRUE(::GetCommState(Win(port), &after));
    DCB expected = before;
    expected.BaudRate = 57600, expected.ByteSize = 8, expected.Parity = NOPARITY, expected.StopBits = ONESTOPBIT;
    EXPECT_EQ(std::memcmp(&expected, &after, sizeof after), 0)
        << after.BaudRate << " baud, " << int(after.ByteSize) << " bits, xon " << int(after.XonChar);
    COMMTIMEOUTS timeouts{}, atOnce{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(::GetCommTimeouts(Win(port), &timeouts));
    EXPECT_EQ(std::memcmp(&timeouts, &atOnce, sizeof timeouts), 0) << timeouts.ReadIntervalTimeout;
    ::SetCommState(Win(port), &original);  // the other cases want the port as it was
}

TEST_F(WinSerialTest, CommandsAnswersAndTheQueue)
{
    if (!OpenFrom("FL_TEST_MODEM_PORT"))
        GTEST_SKIP() << "FL_TEST_MODEM_PORT is not set";
    EXPECT_EQ(link.SendCommand(port, "AT\r", reply, "OK\r\n", kReplyLimit, 1), ReplyStatus::Ok);
    EXPECT_EQ(reply.Text(), "AT\r\r\nOK\r\n");

    // The carriage return that completes the command goes through TransmitCommChar.
    ASSERT_EQ(link.WriteBytes(port, "ATI", 3), ReplyStatus::Ok);
    ASSERT_TRUE(link.TransmitCommChar(port, '\r'));
    EXPECT_EQ(link.WaitForReply(port, "OK\r\n", reply, kReplyLimit, 1), ReplyStatus::Ok);
    EXPECT_EQ(reply.Text().substr(0, 6), "ATI\r\r\n");

    ASSERT_EQ(link.WriteBytes(port, "ATI\r", 4), ReplyStatus::Ok);
    std::uint32_t queued = 0;
    for (int i = 0; i < 100 && queued < 10; ++i, ::Sleep(10))
        ASSERT_TRUE(sp::QueuedInput(port, queued));
    EXPECT_GE(queued, 10u);
    link.DrainInput(port);
    ASSERT_TRUE(sp::QueuedInput(port, queued));
    EXPECT_EQ(queued, 0u);
}

TEST_F(WinSerialTest, PortsThatCannotBeUsedAreToldApart)
{
    struct Case {
        std::string port;
        OpenStatus opened;
        std::string problem;  // how the diagnosis begins
    };
    std::vector<Case> cases = {
        {"COM9", OpenStatus::Failed, "No such port: COM9 does not exist."},
        {"", OpenStatus::Failed, "\"\" is not a port name"},
        {"\\\\.\\COM9", OpenStatus::Failed, "No such port: \\\\.\\COM9 does not exist."},
    };
    if (std::string modem = EnvPort("FL_TEST_MODEM_PORT"); !modem.empty())
        cases.push_back({modem, OpenStatus::Ok, ""});  // no status lines on Wine's ports: probed all the same
    for (const Case& c : cases) {
        LineSettings settings;
        settings.BaudRate = 57600;
        EXPECT_EQ(link.OpenPort(c.port, settings, port), c.opened) << c.port;
        EXPECT_EQ(port == kInvalidPort, c.opened != OpenStatus::Ok) << c.port;
        link.ClosePort(port);
        std::string problem = DescribePortProblem(c.port);
        EXPECT_EQ(problem.substr(0, c.problem.size()), c.problem) << problem;
        EXPECT_EQ(problem.empty(), c.problem.empty()) << problem;
    }
}

TEST_F(WinSerialTest, SilentModemCostsItsTimeLimitButNoProcessorTime)
{
    std::string silent = EnvPort("FL_TEST_SILENT_PORT");
    if (silent.empty())
        GTEST_SKIP() << "FL_TEST_SILENT_PORT is not set";
    std::string identification = "untouched";
    double cpuBefore = ProcessCpuSeconds();
    auto start = Clock::now();
    EXPECT_EQ(CLoaderApp::ProbeModem(silent, identification), 0);
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = ProcessCpuSeconds() - cpuBefore;
    EXPECT_EQ(identification, "untouched");
    EXPECT_GT(wall, 2.9);  // 2 s for AAAAT, 1 s for AT
    EXPECT_LT(wall, 6.0);
    EXPECT_LT(cpu, 0.1 * wall) << cpu << " s of processor time in " << wall << " s";
}

TEST_F(WinSerialTest, StopRequestFromAnotherThreadEndsALongWait)
{
    if (!OpenFrom("FL_TEST_SILENT_PORT"))
        GTEST_SKIP() << "FL_TEST_SILENT_PORT is not set";
    auto start = Clock::now();
    std::thread stopper([] {
        ::Sleep(300);
        SerialLink::RequestStop();
    });
    ReplyStatus result = link.WaitForReply(port, "OK", reply, kReplyLimit, 30);
    stopper.join();
    EXPECT_EQ(result, ReplyStatus::Stopped);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1300));
}

// The download's speed is the turnaround of such exchanges, so a wait must
// look again within about a millisecond while an answer is due. The bound is
// generous (Wine's figure is about 1.1 ms) but catches waits that sleep in
// steps of a scheduler tick or of the longest step.
TEST_F(WinSerialTest, AnswersAreSeenSoonAfterTheyArrive)
{
    if (!OpenFrom("FL_TEST_MODEM_PORT"))
        GTEST_SKIP() << "FL_TEST_MODEM_PORT is not set";
    std::vector<double> rounds;
    for (int i = 0; i < 200; ++i) {
        auto start = Clock::now();
        ASSERT_EQ(link.SendCommand(port, "AT\r", reply, "OK\r\n", kReplyLimit, 1), ReplyStatus::Ok);
        rounds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(rounds.begin(), rounds.end());
    double median = rounds[rounds.size() / 2];
    std::printf("AT round trip: median %.2f ms, 90th percentile %.2f ms\n", median, rounds[rounds.size() * 9 / 10]);
    RecordProperty("median_round_trip_us", static_cast<int>(median * 1000));
    EXPECT_LT(median, 6.0);
}

}  // namespace
