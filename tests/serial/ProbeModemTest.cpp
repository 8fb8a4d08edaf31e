#include "app/LoaderApp.h"

#include "serial/SerialLink.h"
#include "tests/support/HeldPort.h"
#include "tests/support/ModemSim.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedModem.h"
#include "tests/support/SerialResults.h"
#include "tests/support/ShortLimits.h"

#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

// The scan's probe with limits short enough not to wait out the line's own.
const modem_protocol::LineTimeLimits kLimits = ShortLimits();

int Probe(std::string_view port, std::string& identification)
{
    return CLoaderApp::ProbeModem(port, identification, kLimits);
}

TEST(ProbeModemTest, FullHandshakeSendsTheFiveCommandsAndCutsTheIdentification)
{
    ScriptedModem modem(FullModem("KT-56 V.92 Data/Fax Modem"));
    std::string identification = "old";
    EXPECT_EQ(Probe(modem.Path(), identification), 1);
    EXPECT_EQ(identification, "KT-56 V.92 Data/Fax Modem");
    EXPECT_EQ(modem.Received(), "AAAAT\rAT\rAT&&F\rATE1\rATI\r");
}

TEST(ProbeModemTest, OneCharacterAndEmptyIdentifications)
{
    {
        ScriptedModem modem(FullModem("X"));
        std::string identification;
        EXPECT_EQ(Probe(modem.Path(), identification), 1);
        EXPECT_EQ(identification, "X");
    }
    {
        auto answers = FullModem("");
        answers["ATI\r"] = "OK\r\n";
        answers["ATE1\r"] = "";  // no echo either
        ScriptedModem modem(answers);
        std::string identification = "old";
        EXPECT_EQ(Probe(modem.Path(), identification), 1);
        EXPECT_EQ(identification, "");
    }
}

TEST(ProbeModemTest, UnansweredEchoCommandDoesNotFailTheProbe)
{
    auto answers = FullModem("ID");
    answers.erase("ATE1\r");
    ScriptedModem modem(answers);
    std::string identification;
    EXPECT_EQ(Probe(modem.Path(), identification), 1);
    EXPECT_EQ(modem.Received(), "AAAAT\rAT\rAT&&F\rATE1\rATI\r");
}

TEST(ProbeModemTest, UnansweredWakeUpCostsItsLimitButDoesNotFail)
{
    auto answers = FullModem("ID");
    answers.erase("AAAAT\r");
    ScriptedModem modem(answers);
    std::string identification;
    auto start = Clock::now();
    EXPECT_EQ(Probe(modem.Path(), identification), 1);
    EXPECT_GE(ElapsedMs(start), Ms(kLimits.wakeUp));
    EXPECT_EQ(identification, "ID");
}

TEST(ProbeModemTest, RequiredAnswersEndTheProbeWhenMissing)
{
    for (const char* missing : {"AT\r", "AT&&F\r", "ATI\r"}) {
        auto answers = FullModem("ID");
        answers.erase(missing);
        ScriptedModem modem(answers);
        std::string identification = "untouched";
        EXPECT_EQ(Probe(modem.Path(), identification), 0) << missing;
        EXPECT_EQ(identification, "untouched");
        std::string sent = modem.Received();
        // Nothing is sent after the step that failed, and nothing twice.
        EXPECT_EQ(sent.substr(sent.size() - std::string(missing).size()), missing);

        // The port was closed on the way out.
        SerialLink link;
        LineSettings settings;
        settings.BaudRate = 57600;
        PortHandle port = kInvalidPort;
        EXPECT_EQ(link.OpenPort(modem.Path(), settings, port), OpenStatus::Ok);
        link.ClosePort(port);
    }
}

// Given up after the wake-up's and the first command's limits: about three
// seconds on the line's own.
TEST(ProbeModemTest, SilentModemIsGivenUpAfterTheWakeUpAndTheFirstCommand)
{
    ScriptedModem modem({});
    std::string identification;
    auto start = Clock::now();
    EXPECT_EQ(Probe(modem.Path(), identification), 0);
    long long elapsed = ElapsedMs(start);
    EXPECT_GT(elapsed, Ms(kLimits.wakeUp + kLimits.command));
    EXPECT_LT(elapsed, Ms(kLimits.wakeUp + kLimits.command) + 1500);
    EXPECT_EQ(modem.Received(), "AAAAT\rAT\r");
}

TEST(ProbeModemTest, UnusablePortsGiveZeroAtOnce)
{
    std::string identification = "untouched";
    auto start = Clock::now();
    EXPECT_EQ(Probe("", identification), 0);
    EXPECT_EQ(Probe("/dev/no-such-port", identification), 0);
    EXPECT_LT(ElapsedMs(start), 500);
    EXPECT_EQ(identification, "untouched");

    // A port held by someone else.
    ScriptedModem modem(FullModem("ID"));
    HeldPort held(modem.Path());
    ASSERT_TRUE(held.Held());
    EXPECT_EQ(Probe(modem.Path(), identification), 0);
    EXPECT_EQ(modem.Received(), "");
}

}  // namespace

namespace {

// The same handshake against the simulated modem, which frames and echoes
// its answers as a modem does.
class ProbeSimulatedModemTest : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args)
    {
        args.push_back("--ident");
        args.push_back("KT-56 Bench Modem");
        ASSERT_TRUE(sim.Start(args));
    }
    ModemSimProcess sim;
};

TEST_F(ProbeSimulatedModemTest, AcceptsTheModemAndReadsItsIdentification)
{
    Start({});
    std::string identification;
    EXPECT_EQ(Probe(sim.DevicePath(), identification), 1);
    EXPECT_EQ(identification, "KT-56 Bench Modem");
}

TEST_F(ProbeSimulatedModemTest, ModemIgnoringTheWakeUpAndEchoCommandsIsAccepted)
{
    Start({"--no-answer", "ATE1", "--no-answer", "AAAAT"});
    std::string identification;
    auto start = std::chrono::steady_clock::now();
    // On the line's own limits: the two unanswered commands are waited out,
    // 2 s for the wake-up and 1 s for the echo command.
    EXPECT_EQ(CLoaderApp::ProbeModem(sim.DevicePath(), identification), 1);
    EXPECT_GE(ElapsedMs(start), 3000);
    EXPECT_EQ(identification, "KT-56 Bench Modem");
}

TEST_F(ProbeSimulatedModemTest, SilentModemIsNotAccepted)
{
    Start({"--silent"});
    std::string identification = "untouched";
    EXPECT_EQ(Probe(sim.DevicePath(), identification), 0);
    EXPECT_EQ(identification, "untouched");
}

TEST_F(ProbeSimulatedModemTest, SplitAndPacedAnswersAreStillFound)
{
    Start({"--chunk", "3", "--pace", "9600"});
    std::string identification;
    EXPECT_EQ(Probe(sim.DevicePath(), identification), 1);
    EXPECT_EQ(identification, "KT-56 Bench Modem");
}

}  // namespace
