// A modem that answers with garbage, without end, with zero bytes, or stops
// in the middle of a line: the loader neither hangs past its time limits nor
// crashes, and never reports success. The limits are short ones, and every
// bound on how long a run may take is counted in them.

#include "app/LoaderApp.h"
#include "flash/FlashSession.h"

#include "tests/support/HexImage.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ScriptedModem.h"
#include "tests/support/SerialResults.h"
#include "tests/support/ShortLimits.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Clock = std::chrono::steady_clock;

const modem_protocol::LineTimeLimits kLimits = ShortLimits();
// What a run takes besides waiting for answers: the check, the start,
// writing the lines.
constexpr long long kRunMs = 1000;

std::string Noise(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Answers the handshake and the identification as a modem does, and every
// image line after the first with what answer gives.
class GarbageModem {
public:
    explicit GarbageModem(std::function<std::string(int line)> answer) : m_answer(std::move(answer))
    {
        m_peer.Respond([this](const std::string& command) -> std::string {
            if (command.find(':') != std::string::npos)
                return m_line++ == 0 ? "OK\r\n" : m_answer(m_line - 1);
            if (command == "ATE1\r")
                m_echo = true;
            std::string echo = m_echo ? command : std::string();
            if (command == "ATI5\r")
                return echo + "\r\nS-56K RRFL,40,1A2B,00\r\n" + kOk;
            if (command == "AT&&FGO\r")
                return echo + "\r\nFLASH LOADER Ver:4.4\r\nOK\r\n";
            return echo + kOk;
        });
    }
    const std::string& Path() const { return m_peer.SlavePath(); }
    std::string Received() { return m_peer.Received(); }

private:
    PtyPeer m_peer;
    std::function<std::string(int)> m_answer;
    int m_line = 0;
    bool m_echo = false;
};

class GarbageRepliesTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({})); }

    // The run against the modem; false, with a reason, is the only right
    // end, within limitMs beyond the run's own time.
    void ExpectFailureWithin(GarbageModem& modem, long long limitMs)
    {
        RecordingReporter reporter;
        FlashSession session(reporter, {modem.Path(), 57600, dir.File("MODEM.HEX"), ""}, {}, kLimits);
        ASSERT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::Ready);
        auto start = Clock::now();
        EXPECT_FALSE(session.OnPerformLoading());
        EXPECT_LT(ElapsedMs(start), limitMs + kRunMs);
        EXPECT_FALSE(session.FailureReason().empty());
        EXPECT_EQ(reporter.states.back(), RunState::Failed);
    }
    ScopedTempDir dir;
};

TEST_F(GarbageRepliesTest, EndlessNoise)
{
    GarbageModem modem([](int line) { return Noise(16384, static_cast<unsigned>(line)); });
    ExpectFailureWithin(modem, Ms(kLimits.line));
}

TEST_F(GarbageRepliesTest, ZeroBytesAroundAnOk)
{
    GarbageModem modem([](int) { return std::string("\0\0O\0K\0\r\0\n", 9); });
    ExpectFailureWithin(modem, 2 * Ms(kLimits.line));
}

TEST_F(GarbageRepliesTest, AnswerStopsInTheMiddleOfTheLine)
{
    GarbageModem modem([](int) { return std::string("O"); });
    ExpectFailureWithin(modem, 2 * Ms(kLimits.line));
}

TEST_F(GarbageRepliesTest, EveryLineRefusedForEver)
{
    GarbageModem modem([](int) { return std::string("NOK\r\nNOK3\r\n"); });
    ExpectFailureWithin(modem, 4 * Ms(kLimits.line));
}

// "OK" and a refusal in one answer: the line is refused, and sent again.
TEST_F(GarbageRepliesTest, AnOkBeforeARefusalInTheSameAnswerDoesNotAcceptTheLine)
{
    GarbageModem modem([](int line) { return line == 3 ? "OK\r\nNOK\r\nNOK3\r\n" : "OK\r\n"; });
    RecordingReporter reporter;
    FlashSession session(reporter, {modem.Path(), 57600, dir.File("MODEM.HEX"), ""}, {}, kLimits);
    ASSERT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::Ready);
    EXPECT_TRUE(session.OnPerformLoading()) << session.FailureDetail();
    std::string image = ReadFileBytes(dir.File("MODEM.HEX"));
    std::size_t fourth = 0;
    for (int i = 0; i < 3; ++i)
        fourth = image.find("\r\n", fourth) + 2;
    std::string line = image.substr(fourth, image.find("\r\n", fourth) + 2 - fourth);
    std::string sent = modem.Received();
    std::size_t first = sent.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(sent.find(line, first + 1), std::string::npos) << "the refused line was not sent again";
}

TEST_F(GarbageRepliesTest, NoiseInsteadOfTheHandshakeIsNoModem)
{
    PtyPeer peer;
    peer.Respond([](const std::string& command) { return Noise(2048, static_cast<unsigned>(command.size())); });
    std::string identification = "untouched";
    auto start = Clock::now();
    EXPECT_EQ(CLoaderApp::ProbeModem(peer.SlavePath(), identification, kLimits), 0);
    EXPECT_EQ(identification, "untouched");

    ModemLink link(kLimits);
    LineSettings settings;
    settings.BaudRate = 57600;
    PortHandle port = kInvalidPort;
    ASSERT_EQ(link.OpenPort(peer.SlavePath(), settings, port), OpenStatus::Ok);
    ModemInfo info;
    EXPECT_EQ(link.IdentifyModem(port, info), NoModem);
    link.ClosePort(port);
    EXPECT_LT(ElapsedMs(start), 6000);
}

}  // namespace
