#include "base/Version.h"
#include "serial/SerialLink.h"
#include "tests/support/HeldPort.h"
#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/Process.h"
#include "tests/support/ScriptedModem.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace {

const std::string kCli = BuiltProgram("flashloader-cli");

TEST(CliTest, AboutPrintsTheProductTextsOrSaysWhatIsMissing)
{
    ScopedTempDir dir;
    ProcessResult missing = RunProcess(kCli, {"about"}, dir.Path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Couldn't open file tarnix.ini"), std::string::npos) << missing.err;

    WriteFileBytes(dir.File("tarnix.ini"), "[AboutBox]\nCompanyName=Kestrolan\n");
    ProcessResult about = RunProcess(kCli, {"about"}, dir.Path());
    EXPECT_EQ(about.exitCode, 0);
    EXPECT_EQ(about.out, "Flash Loader 5.x.x\nKestrolan\n<none>\n");
}

// Installed in a folder of its own, the program names where it looked for
// tarnix.ini, the sample installed beside it and the copy that the wizard's
// menu start keeps, where they are.
TEST(CliTest, AboutWithoutSettingsSaysWhereItLookedAndHowToMendIt)
{
    ScopedTempDir root;
    std::filesystem::create_directories(root.File("usr/bin"));
    std::filesystem::create_directories(root.File("work/gone"));
    std::filesystem::copy_file(kCli, root.File("usr/bin/flashloader-cli"));
    const std::string cli = root.File("usr/bin/flashloader-cli");
    const std::string sample = root.File("usr/share/flashloader/tarnix.ini");
    const std::string menu = root.File("home/.local/share/flashloader");
    const std::vector<std::string> env = {"HOME=" + root.File("home"), "XDG_DATA_HOME="};
    const std::string box = "File Open Error: Couldn't open file tarnix.ini\n";
    const std::string lookedIn = "tarnix.ini was looked for in " + root.File("work") +
                                 " (the current directory): run flashloader-cli in the folder that holds tarnix.ini";
    const struct {
        const char* name;
        std::string install;  // made before the run, with a tarnix.ini in it
        std::string err;
    } cases[] = {
        {"no sample installed", "", box + lookedIn + ".\n"},
        {"the sample installed", sample, box + lookedIn + ", or copy the installed sample " + sample + " there.\n"},
        {"the menu's copy too", menu + "/tarnix.ini",
         box + lookedIn + ", or copy the installed sample " + sample +
             " there. The wizard's start from the desktop menu keeps one in " + menu + ".\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.install.empty()) {
            std::filesystem::create_directories(std::filesystem::path(c.install).parent_path());
            WriteFileBytes(c.install, "");
        }
        ProcessResult result = RunProcess(cli, {"about"}, root.File("work"), env);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, c.err);
    }
    // A current directory that was removed has no name to give.
    ProcessResult gone =
        RunProcess("/bin/sh", {"-c", "cd gone && rmdir ../gone && exec \"$0\" about", cli}, root.File("work"), env);
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_NE(gone.err.find("tarnix.ini was looked for in the current directory, whose name the system cannot give"),
              std::string::npos)
        << gone.err;
}

TEST(CliTest, SelectionPrintsWhatAPlainStartBeginsWith)
{
    ScopedTempDir dir;
    ProcessResult result = RunProcess(kCli, {"selection"}, dir.Path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Baud Rate:    57600\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Loading File: " + dir.File("MODEM.HEX") + "\n"), std::string::npos);
    EXPECT_FALSE(FileExists(dir.File("lastsel.dat")));
}

TEST(CliTest, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(RunProcess(kCli, {}).exitCode, 2);
    EXPECT_EQ(RunProcess(kCli, {"no-such-command"}).exitCode, 2);
    EXPECT_EQ(RunProcess(kCli, {"--help"}).exitCode, 0);
}

// A mistyped subcommand or option is a usage error that says what was most
// likely meant; nothing is offered where nothing is near.
TEST(CliTest, MistypedNamesGetASuggestion)
{
    const struct {
        std::vector<std::string> args;
        const char* said;  // nullptr: no suggestion at all
    } cases[] = {
        {{"flsh"}, "Did you mean 'flash' for 'flsh'?"},
        {{"scna"}, "Did you mean 'scan' for 'scna'?"},
        {{"--versoin"}, "Did you mean '--version' for '--versoin'?"},
        {{"flash", "--prot", "COM1", "-f", "x.hex"}, "Did you mean '--port' for '--prot'?"},
        {{"flash", "-p", "COM1", "--fiel", "x.hex"}, "Did you mean '--file' for '--fiel'?"},
        {{"flash", "-p", "COM1", "-f", "x.hex", "--rep", "r.json"}, "Did you mean '--report' for '--rep'?"},
        {{"info", "-p", "COM1", "-f", "x.hex", "--report", "r.json"}, nullptr},
        {{"frobnicate"}, nullptr},
    };
    for (const auto& c : cases) {
        ProcessResult result = RunProcess(kCli, c.args);
        SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
        EXPECT_EQ(result.exitCode, 2);
        if (c.said != nullptr)
            EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
        else
            EXPECT_EQ(result.err.find("Did you mean"), std::string::npos) << result.err;
    }
}

// The short options are the long ones: a command line of them is
// understood (and fails for the missing port, not as a usage error), and
// their rules hold (-y and -n exclude each other).
TEST(CliTest, ShortOptionsAreTheLongOnes)
{
    ScopedTempDir dir;
    const std::vector<std::string> env = {"FLASHLOADER_PORTS=" + dir.Path()};
    EXPECT_EQ(RunProcess(kCli, {"probe", "-p", "COM9"}, dir.Path(), env).exitCode, 3);
    EXPECT_EQ(RunProcess(kCli, {"info", "-p", "COM9", "-b", "57600", "-f", "MODEM.HEX"}, dir.Path(), env).exitCode, 4);
    EXPECT_EQ(RunProcess(kCli, {"flash", "-p", "COM9", "-f", "MODEM.HEX", "-l", "FLASHLDR.HEX", "-n"}, dir.Path(), env)
                  .exitCode,
              4);
    EXPECT_EQ(RunProcess(kCli, {"flash", "-p", "COM9", "-f", "MODEM.HEX", "-y", "-n"}, dir.Path(), env).exitCode, 2);
    EXPECT_EQ(RunProcess(kCli, {"probe", "-x", "COM9"}, dir.Path(), env).exitCode, 2);
}

}  // namespace

namespace {

class CliProbeTest : public ::testing::Test {
protected:
    ProcessResult Probe(const std::string& port)
    {
        return RunProcess(kCli, {"probe", "--port", port}, {}, {"FLASHLOADER_PORTS=" + ports.Path()});
    }
    void Register(const std::string& name, const std::string& device)
    {
        ASSERT_EQ(::symlink(device.c_str(), ports.File(name).c_str()), 0);
    }
    ScopedTempDir ports;
};

TEST_F(CliProbeTest, PrintsTheIdentificationOfAModemFoundByItsComName)
{
    ScriptedModem modem(FullModem("KT-56 V.92"));
    Register("COM3", modem.Path());
    ProcessResult result = Probe("com3");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "KT-56 V.92\n");
}

TEST_F(CliProbeTest, SaysWhyAPortCannotBeUsed)
{
    ProcessResult missing = Probe("/dev/no-such-port");
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("No such port"), std::string::npos) << missing.err;

    Register("COM4", "/dev/pts/no-such-terminal");
    ProcessResult dangling = Probe("COM4");
    EXPECT_EQ(dangling.exitCode, 3);
    EXPECT_NE(dangling.err.find("No such port: COM4 (/dev/pts/no-such-terminal) does not exist"), std::string::npos)
        << dangling.err;

    ScriptedModem modem(FullModem("ID"));
    ProcessResult busy;
    {
        HeldPort held(modem.Path());
        ASSERT_TRUE(held.Held());
        busy = Probe(modem.Path());
    }
    EXPECT_EQ(busy.exitCode, 3);
    EXPECT_NE(busy.err.find("in use by another program"), std::string::npos) << busy.err;

    ProcessResult notAPort = Probe("LPT1");
    EXPECT_EQ(notAPort.exitCode, 3);
    EXPECT_NE(notAPort.err.find("not a port name"), std::string::npos) << notAPort.err;
}

TEST_F(CliProbeTest, SilentPortFailsWithinAboutThreeSeconds)
{
    ScriptedModem modem({});
    auto start = std::chrono::steady_clock::now();
    ProcessResult result = Probe(modem.Path());
    EXPECT_LT(ElapsedMs(start), 4500);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("No supported modem answered"), std::string::npos) << result.err;
}

TEST_F(CliProbeTest, MissingPortOptionIsAUsageError) { EXPECT_EQ(RunProcess(kCli, {"probe"}).exitCode, 2); }

}  // namespace

namespace {

TEST(CliProbeSimulatedModemTest, FindsARunningSimulatedModemByItsComName)
{
    ScopedTempDir ports;
    std::string dir = "FLASHLOADER_PORTS=" + ports.Path();
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--port", "COM7", "--ident", "KT-56 V.92"}, {dir}));
    ProcessResult result = RunProcess(kCli, {"probe", "--port", "COM7"}, {}, {dir});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "KT-56 V.92\n");

    ModemSimProcess silent;
    ASSERT_TRUE(silent.Start({"--port", "COM8", "--silent"}, {dir}));
    auto start = std::chrono::steady_clock::now();
    ProcessResult none = RunProcess(kCli, {"probe", "--port", "com8"}, {}, {dir});
    EXPECT_LT(ElapsedMs(start), 4500);
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_NE(none.err.find("No supported modem answered on com8"), std::string::npos) << none.err;
}

}  // namespace

namespace {

// info and flash against the simulated modem, as a script on a bench runs them.
class CliFlashTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({})); }
    ProcessResult Cli(const std::string& command, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{command, "--port", sim.DevicePath(), "--file", dir.File("MODEM.HEX")};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunProcess(kCli, args, dir.Path());
    }
    ScopedTempDir dir;
    ModemSimProcess sim;
};

TEST_F(CliFlashTest, InfoPrintsBothRowsAndPassesOnlyWhenTheRunCouldGoAhead)
{
    std::string image = MakeImage({});
    std::string broken = image;
    broken[image.find("\r\n", image.find("\r\n") + 2) + 14] ^= 1;  // line 3 no longer fits its checksum
    struct Case {
        std::vector<std::string> modem;
        std::string image;
        bool loader;
        int exitCode;
        std::vector<std::string> out;
        std::string err;
    } cases[] = {
        {{}, image, false, 0, {"Modem:  Serial          64            1A2BH", "Load plan:  normal load"}, ""},
        {{"--checksum", "BEEF"},
         image,
         true,
         0,
         {"File:   Serial          64            1A2BH", "Modem:  Serial          64            BEEFH",
          "Load plan:  complete load", "Mismatches: checksums"},
         ""},
        // What flash would refuse, info refuses too, with the run's reason.
        {{"--checksum", "BEEF"},
         image,
         false,
         4,
         {"Load plan:  complete load"},
         "An error has occurred during the download of the FLASHLDR.HEX file. \nFLASHLDR.HEX was looked for in " +
             dir.Path() +
             " and is not there. It comes with the modem's firmware: put it in that folder, then try again."},
        {{"--sector", "none"},
         image,
         true,
         0,
         {"Modem:  Serial          0             0000H", "Load plan:  complete load"},
         ""},
        {{"--type", "P", "--no-rrfl", "--no-ffl"},
         image,
         true,
         1,
         {"Modem:  PC Card         NA            NA", "Load plan:  none"},
         "The modem and the loader are incompatable in their types. "},
        // An image that cannot be flashed is said alone, before the port is opened.
        {{},
         broken,
         false,
         4,
         {},
         "The file " + dir.File("MODEM.HEX") +
             " is not a valid Intel HEX file: line 3: wrong checksum B7 (the record's bytes give B8).\nNothing was "
             "sent to the modem"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.modem));
        sim.Stop();
        WriteFileBytes(dir.File("MODEM.HEX"), c.image);
        ::unlink(dir.File("FLASHLDR.HEX").c_str());
        if (c.loader)
            WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader());
        ASSERT_TRUE(sim.Start(c.modem));
        ProcessResult info = Cli("info");
        EXPECT_EQ(info.exitCode, c.exitCode) << info.err;
        for (const std::string& line : c.out)
            EXPECT_NE(info.out.find(line), std::string::npos) << info.out;
        EXPECT_NE(info.err.find(c.err), std::string::npos) << info.err;
    }
}

TEST_F(CliFlashTest, InfoAnswersInJsonWithTheReportsFieldNames)
{
    ASSERT_TRUE(sim.Start({"--checksum", "BEEF", "--ident", "KT-56 Info"}));
    WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader());
    ProcessResult info = RunProcess(kCli, {"info", "-p", sim.DevicePath(), "-f", "MODEM.HEX", "--json"}, dir.Path());
    EXPECT_EQ(info.exitCode, 0) << info.err;
    nlohmann::json answer = nlohmann::json::parse(info.out, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << info.out;
    EXPECT_EQ(answer["schema"], 1);
    EXPECT_EQ(answer["device"]["path"], sim.DevicePath());
    EXPECT_EQ(answer["image"]["path"], dir.File("MODEM.HEX"));  // absolute, though given relative
    EXPECT_EQ(answer["image"]["checksum"], "1A2B");
    EXPECT_EQ(answer["modem"]["checksum"], "BEEF");
    EXPECT_EQ(answer["modem"]["identification"], "KT-56 Info");
    EXPECT_EQ(answer["plan"], "complete");
    EXPECT_EQ(answer["mismatches"], nlohmann::json::array({"checksum"}));
    EXPECT_EQ(answer["result"], "ready");
}

TEST_F(CliFlashTest, FlashSucceedsAndTracesTheLine)
{
    ASSERT_TRUE(sim.Start({}));
    ProcessResult result = Cli("flash", {"--trace"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("100% Done"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Done in 0 second(s)."), std::string::npos);
    // The window's words without the button that a terminal has not.
    EXPECT_NE(result.out.find("The flash loading has completed successfully. Refresh your modem before using it.\n"),
              std::string::npos)
        << result.out;
    // The trace's first line says what made it.
    EXPECT_EQ(result.err.rfind(std::string("flashloader-cli ") + ProgramVersion() + "\n[", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(">> AT&&FGO\\r\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("<< OK\\r\\n\n"), std::string::npos);
}

// While the modem erases its flash before answering the first line, the
// live line on a terminal counts the seconds.
TEST_F(CliFlashTest, FirstLinesWaitIsCountedOnATerminal)
{
    ASSERT_TRUE(sim.Start({"--slow-first-line", "2"}));
    std::string command = kCli + " flash --port " + sim.DevicePath() + " --file " + dir.File("MODEM.HEX");
    ProcessResult result = RunProcess("/usr/bin/script", {"-qec", command, "/dev/null"}, dir.Path());
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_NE(result.out.find("\r  0% Done  waiting for the modem's first answer  0:01"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("100% Done"), std::string::npos);
}

TEST_F(CliFlashTest, RetryQuestionIsAnsweredNoWithoutATerminalAndYesWithTheOption)
{
    ASSERT_TRUE(sim.Start({"--nok-at", "2:1", "--restart-delay", "0.05"}));
    ProcessResult declined = Cli("flash");
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_NE(declined.err.find("Chip failed to erase properly."), std::string::npos) << declined.err;
    EXPECT_NE(declined.err.find("An error has occurred during the download of the MODEM.HEX file.\nThus,"),
              std::string::npos);
    sim.Stop();

    ASSERT_TRUE(sim.Start({"--nok-at", "2:1", "--restart-delay", "0.05"}));
    ProcessResult accepted = Cli("flash", {"--yes"});
    EXPECT_EQ(accepted.exitCode, 0) << accepted.err;
}

TEST_F(CliFlashTest, MissingLoaderAndBusyPortAreReported)
{
    ASSERT_TRUE(sim.Start({"--no-rrfl", "--no-ffl"}));
    ProcessResult noLoader = Cli("flash");
    EXPECT_EQ(noLoader.exitCode, 4);
    EXPECT_NE(noLoader.err.find("FLASHLDR.HEX was looked for in " + dir.Path() + " and is not there."),
              std::string::npos)
        << noLoader.err;

    ProcessResult busy;
    {
        HeldPort held(sim.DevicePath());
        ASSERT_TRUE(held.Held());
        busy = Cli("flash");
    }
    EXPECT_EQ(busy.exitCode, 3);
    EXPECT_NE(busy.err.find("Error: Failed to open the specified COM port."), std::string::npos) << busy.err;
    EXPECT_NE(busy.err.find("in use by another program"), std::string::npos);

    EXPECT_EQ(RunProcess(kCli, {"flash", "--port", "COM1"}).exitCode, 2);
}

}  // namespace

namespace {

// A stop asked for by signal, at the moments it matters: while the modem is
// checked (nothing that changes it may follow), and while the first image
// line waits for the erase (the wait ends at once with the run's reason).
TEST(CliStopTest, SignalsEndTheRunAtOnceWithItsReasonAndLeaveAnUncheckedModemAlone)
{
    ScopedTempDir dir;
    WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({}));
    auto modem = FullModem("KT-56");
    const std::map<std::string, std::string> loader = {{"ATI5\r", "\r\nS-56K RRFL,40,1A2B,00\r\n" + kOk},
                                                       {"AT&&FGO\r", "\r\nFLASH LOADER Ver:4.4\r\nOK\r\n"}};
    struct Case {
        const char* when;
        std::string awaited;  // sent when the signal goes
        int signal;
        bool answersIdentification;
        std::string said;
    } cases[] = {
        {"during the check", "ATI5\r", SIGINT, false,
         "Stopped at your request while the modem was being checked; nothing was flashed."},
        {"during the erase", ":", SIGINT, true,
         "An error has occurred during the download of the MODEM.HEX file.\nThus,"},
        {"terminated", ":", SIGTERM, true,
         "Stopped at your request at line 1; the modem's flash is only partly written: restart the modem, then "
         "flash it again before using it."},
        {"hung up", ":", SIGHUP, true, "Stopped at your request at line 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        auto answers = modem;
        if (c.answersIdentification)
            answers.insert(loader.begin(), loader.end());
        ScriptedModem peer(answers);
        auto signalled = std::chrono::steady_clock::now();
        ProcessResult result = RunProcess(
            kCli, {"flash", "--port", peer.Path(), "--file", dir.File("MODEM.HEX")}, dir.Path(), {}, {}, [&](int pid) {
                auto start = std::chrono::steady_clock::now();
                while (peer.Received().find(c.awaited) == std::string::npos && ElapsedMs(start) < 10000)
                    ::usleep(5000);
                ::usleep(100 * 1000);  // well inside the wait
                signalled = std::chrono::steady_clock::now();
                ::kill(pid, c.signal);
            });
        // A script tells a stop from a failure: 128 and the signal.
        EXPECT_EQ(result.exitCode, 128 + c.signal) << result.err;
        EXPECT_LT(ElapsedMs(signalled), 1500);
        EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
        if (!c.answersIdentification) {
            EXPECT_EQ(peer.Received().find("AT&&FGO"), std::string::npos) << peer.Received();
        }
    }
}

}  // namespace

namespace {

// A bench: three modems flashed at once. One refuses every line (its retry
// question answered No, as with several ports nobody is asked), one goes
// away in the middle of the run; the third is flashed whole all the same,
// and the summary gives every port's result and the reason of each failure.
TEST(CliBenchTest, ThreeModemsAtOnceEachWithItsOwnResult)
{
    ScopedTempDir ports;
    std::string dir = "FLASHLOADER_PORTS=" + ports.Path();
    ImageSpec spec;
    spec.dataBytes = 24 * 1024;  // about five seconds at 115200 baud
    WriteFileBytes(ports.File("MODEM.HEX"), MakeImage(spec));
    ModemSimProcess good, refusing, vanishing;
    ASSERT_TRUE(good.Start({"--port", "COM5", "--pace", "115200", "--flash-out", ports.File("flashed.hex")}, {dir}));
    ASSERT_TRUE(refusing.Start({"--port", "COM6", "--nok1", "1"}, {dir}));
    ASSERT_TRUE(vanishing.Start({"--port", "COM7", "--pace", "115200"}, {dir}));
    ProcessResult result =
        RunProcess(kCli,
                   {"flash", "--port", "COM5", "--port", "COM6", "--port", "COM7", "--file", ports.File("MODEM.HEX"),
                    "--report", ports.File("report.json"), "--log", ports.File("units.jsonl"), "--station", "Bench 7"},
                   {}, {dir}, {}, [&](int) {
                       ::usleep(1500 * 1000);  // well inside the run of about five seconds
                       vanishing.Stop();
                   });
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;  // refused lines, a port gone: run failures
    const std::size_t summary = result.out.find("\nPort ");
    ASSERT_NE(summary, std::string::npos) << result.out;
    std::string table = result.out.substr(summary);
    auto row = [&](const std::string& port) {
        std::size_t at = table.find("\n" + port + " ");
        return at == std::string::npos ? std::string() : table.substr(at + 1, table.find('\n', at + 1) - at - 1);
    };
    EXPECT_NE(row("COM5").find("succeeded"), std::string::npos) << table;
    EXPECT_NE(row("COM6").find("failed"), std::string::npos) << table;
    EXPECT_NE(row("COM6").find("NOK1"), std::string::npos) << table;
    EXPECT_NE(row("COM7").find("failed"), std::string::npos) << table;
    EXPECT_NE(row("COM7").find("went away"), std::string::npos) << table;
    EXPECT_EQ(good.Stop(), 0);
    EXPECT_EQ(HexMemory(ReadFileBytes(ports.File("flashed.hex"))), HexMemory(ReadFileBytes(ports.File("MODEM.HEX"))));
    // Without a terminal: a line per port per ten percent and per change.
    int logged = 0;
    for (std::size_t at = result.out.find("COM5 "); at < summary; at = result.out.find("\nCOM5 ", at + 1))
        ++logged;
    EXPECT_GE(logged, 8) << result.out;

    // The report, port by port and field by field.
    nlohmann::json report = nlohmann::json::parse(ReadFileBytes(ports.File("report.json")), nullptr, false);
    ASSERT_TRUE(report.is_object()) << ReadFileBytes(ports.File("report.json"));
    const nlohmann::json tool = {{"name", "flashloader-cli"}, {"version", ProgramVersion()}};
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(report["schema"], 1);
    EXPECT_EQ(report["tool"], tool);
    EXPECT_EQ(report["host"], host);
    EXPECT_EQ(report["station"], "Bench 7");
    ASSERT_EQ(report["ports"].size(), 3u);
    // The log: a line per port, each the port's record with what the
    // report says once for all.
    std::vector<nlohmann::json> lines;
    std::istringstream log(ReadFileBytes(ports.File("units.jsonl")));
    for (std::string line; std::getline(log, line);)
        lines.push_back(nlohmann::json::parse(line, nullptr, false));
    ASSERT_EQ(lines.size(), 3u);
    const struct {
        const char* port;
        const char* result;
        const char* reasonPart;
        bool linesOfTheWholeImage;
    } expected[] = {
        {"COM5", "succeeded", "", true}, {"COM6", "failed", "NOK1", false}, {"COM7", "failed", "went away", false}};
    const std::string imageText = ReadFileBytes(ports.File("MODEM.HEX"));
    const std::size_t imageLines = static_cast<std::size_t>(std::count(imageText.begin(), imageText.end(), '\n'));
    for (std::size_t i = 0; i < 3; ++i) {
        nlohmann::json& port = report["ports"][i];
        SCOPED_TRACE(expected[i].port);
        EXPECT_EQ(port["port"], expected[i].port);
        EXPECT_EQ(port["image"]["path"], ports.File("MODEM.HEX"));
        EXPECT_EQ(port["image"]["size"], imageText.size());
        const ModemSimProcess* sims[] = {&good, &refusing, &vanishing};
        EXPECT_EQ(port["device"]["path"], sims[i]->DevicePath());
        EXPECT_TRUE(port["device"]["stablePath"].is_null());  // a pseudo-terminal has none
        EXPECT_TRUE(port["device"]["usb"].is_null());
        EXPECT_EQ(port["exitCode"], expected[i].linesOfTheWholeImage ? 0 : 1);
        nlohmann::json logged = port;
        logged.update({{"schema", 1}, {"tool", tool}, {"host", host}, {"station", "Bench 7"}});
        EXPECT_EQ(lines[i], logged);
        EXPECT_EQ(port["image"]["sha256"],
                  RunProcess("/usr/bin/sha256sum", {ports.File("MODEM.HEX")}).out.substr(0, 64));
        EXPECT_EQ(port["modem"]["identification"], "KT-56 V.92 Data/Fax Modem");  // the modem's own words
        EXPECT_EQ(port["modem"]["type"], 3);
        EXPECT_EQ(port["modem"]["typeName"], "Serial");
        EXPECT_EQ(port["modem"]["sectorSizeKiB"], 64);
        EXPECT_EQ(port["modem"]["checksum"], "1A2B");
        EXPECT_EQ(port["plan"], "normal");
        EXPECT_EQ(port["result"], expected[i].result);
        EXPECT_NE(port["reason"].get<std::string>().find(expected[i].reasonPart), std::string::npos) << port["reason"];
        EXPECT_LE(port["start"].get<std::string>(), port["end"].get<std::string>());
        if (expected[i].linesOfTheWholeImage) {
            EXPECT_EQ(port["linesSent"].get<std::size_t>(), imageLines);
        }
    }
    EXPECT_EQ(report["ports"][1]["refusals"], 1);  // NOK1, then the retry declined
    EXPECT_EQ(report["ports"][1]["restarts"], 0);  // none made
    EXPECT_EQ(report["ports"][0]["refusals"], 0);
}

// A bench of twelve modems on COM1 to COM12, beyond the wizard's eight rows
// and the single-digit names: the scan lists them all, --all flashes them
// all, and every unit's record (the report's and the log's line) says
// which device and which modem it was. One modem refuses every line.
TEST(CliBenchTest, TwelveModemsOnComOneToTwelveAreScannedAndFlashedWithAll)
{
    ScopedTempDir ports;
    const std::string dir = "FLASHLOADER_PORTS=" + ports.Path();
    WriteFileBytes(ports.File("MODEM.HEX"), MakeImage({}));
    constexpr int kModems = 12, kRefusing = 11;  // COM11
    std::vector<std::unique_ptr<ModemSimProcess>> sims;
    for (int n = 1; n <= kModems; ++n) {
        sims.push_back(std::make_unique<ModemSimProcess>());
        std::vector<std::string> args = {"--port",      "COM" + std::to_string(n),
                                         "--ident",     "KT-56 unit " + std::to_string(n),
                                         "--flash-out", ports.File("flashed" + std::to_string(n) + ".hex")};
        if (n == kRefusing)
            args.insert(args.end(), {"--nok3", "1"});
        ASSERT_TRUE(sims.back()->Start(args, {dir}));
    }
    auto unit = [&](const nlohmann::json& ports, const std::string& name) {
        for (const nlohmann::json& port : ports)
            if (port["port"] == name)
                return port;
        return nlohmann::json();
    };

    ProcessResult scan = RunProcess(kCli, {"scan", "--json"}, {}, {dir});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    nlohmann::json listed = nlohmann::json::parse(scan.out, nullptr, false);
    ASSERT_TRUE(listed.is_object()) << scan.out;
    EXPECT_EQ(listed["schema"], 1);
    for (int n = 1; n <= kModems; ++n) {
        const std::string name = "COM" + std::to_string(n);
        SCOPED_TRACE(name);
        nlohmann::json port = unit(listed["ports"], name);
        ASSERT_TRUE(port.is_object()) << scan.out;
        EXPECT_EQ(port["state"], "modem");
        EXPECT_EQ(port["modem"]["identification"], "KT-56 unit " + std::to_string(n));
        EXPECT_EQ(port["device"]["path"], sims[n - 1]->DevicePath());
        EXPECT_EQ(port["description"], name + " -- simulated modem (" + sims[n - 1]->DevicePath() + ")");
    }

    ProcessResult result =
        RunProcess(kCli,
                   {"flash", "--all", "-f", ports.File("MODEM.HEX"), "--report", ports.File("report.json"), "--log",
                    ports.File("units.jsonl"), "--station", "line 3"},
                   {}, {dir});
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;  // one unit's lines were refused
    nlohmann::json report = nlohmann::json::parse(ReadFileBytes(ports.File("report.json")), nullptr, false);
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["station"], "line 3");
    std::vector<nlohmann::json> lines;
    std::istringstream log(ReadFileBytes(ports.File("units.jsonl")));
    for (std::string line; std::getline(log, line);)
        lines.push_back(nlohmann::json::parse(line, nullptr, false));
    ASSERT_EQ(lines.size(), report["ports"].size());
    const std::string image = ReadFileBytes(ports.File("MODEM.HEX"));
    for (int n = 1; n <= kModems; ++n) {
        const std::string name = "COM" + std::to_string(n);
        SCOPED_TRACE(name);
        const nlohmann::json port = unit(report["ports"], name);
        ASSERT_TRUE(port.is_object()) << report.dump(1);
        const bool refusing = n == kRefusing;
        EXPECT_EQ(port["device"]["path"], sims[n - 1]->DevicePath());
        EXPECT_EQ(port["modem"]["identification"], "KT-56 unit " + std::to_string(n));
        EXPECT_EQ(port["modem"]["typeName"], "Serial");
        EXPECT_EQ(port["image"]["path"], ports.File("MODEM.HEX"));
        EXPECT_EQ(port["image"]["size"], image.size());
        EXPECT_EQ(port["result"], refusing ? "failed" : "succeeded");
        EXPECT_EQ(port["exitCode"], refusing ? 1 : 0);
        EXPECT_EQ(port["refusals"].get<int>() > 0, refusing);
        nlohmann::json logged = unit(lines, name);
        ASSERT_TRUE(logged.is_object());
        EXPECT_EQ(logged["station"], "line 3");
        EXPECT_EQ(logged["schema"], 1);
        for (const char* field : {"device", "modem", "image", "result", "exitCode", "start", "end", "linesSent"})
            EXPECT_EQ(logged[field], port[field]) << field;
        EXPECT_EQ(sims[n - 1]->Stop(), 0);
        EXPECT_EQ(HexMemory(ReadFileBytes(ports.File("flashed" + std::to_string(n) + ".hex"))).empty(), refusing);
    }
    for (const nlohmann::json& line : lines)
        EXPECT_FALSE(line.is_discarded());
}

// The ports are probed at the same time: four silent ports cost the
// handshake's three seconds about once, not four times, and the lines
// still come in the table's order.
TEST(CliScanTest, SilentPortsAreProbedAtTheSameTimeAndListedInTableOrder)
{
    ScopedTempDir ports;
    std::string dir = "FLASHLOADER_PORTS=" + ports.Path();
    ModemSimProcess silent[4], modem;
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(silent[i].Start({"--port", "COM" + std::to_string(5 + i), "--silent"}, {dir}));
    ASSERT_TRUE(modem.Start({"--port", "COM9", "--ident", "KT-56 Last"}, {dir}));
    auto start = std::chrono::steady_clock::now();
    ProcessResult result = RunProcess(kCli, {"scan"}, {}, {dir});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_LT(ElapsedMs(start), 9000) << "one port after the other takes twelve seconds";
    std::size_t at = 0;
    for (const char* line : {"COM5\tno modem", "COM6\tno modem", "COM7\tno modem", "COM8\tno modem", "COM9\tmodem"}) {
        std::size_t found = result.out.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << " in order in\n" << result.out;
        at = found;
    }
    EXPECT_NE(result.out.find("\tKT-56 Last\n"), std::string::npos) << result.out;
}

// A port without a modem says why: "no modem" only where the handshake got
// no answer, a held port that it is in use; probe --json says the same.
TEST(CliScanTest, PortsWithoutAModemSayWhy)
{
    ScopedTempDir ports;
    const std::string dir = "FLASHLOADER_PORTS=" + ports.Path();
    ModemSimProcess modem, silent;
    ASSERT_TRUE(modem.Start({"--port", "COM4", "--ident", "KT-56 Here"}, {dir}));
    ASSERT_TRUE(silent.Start({"--port", "COM5", "--silent"}, {dir}));
    ScriptedModem heldModem(FullModem("ID"));
    ASSERT_EQ(::symlink(heldModem.Path().c_str(), ports.File("COM6").c_str()), 0);
    HeldPort held(heldModem.Path());
    ASSERT_TRUE(held.Held());

    ProcessResult scan = RunProcess(kCli, {"scan"}, {}, {dir});
    EXPECT_EQ(scan.exitCode, 0) << scan.err;
    for (const char* line : {"COM4\tmodem\t", "COM5\tno modem\t", "COM6\tin use by "})
        EXPECT_NE(scan.out.find(line), std::string::npos) << line << " in\n" << scan.out;

    const struct {
        const char* port;
        int exitCode;
        const char* state;
    } probes[] = {{"COM4", 0, "modem"}, {"COM5", 3, "no modem"}, {"COM6", 3, "in use by "}};
    for (const auto& c : probes) {
        SCOPED_TRACE(c.port);
        ProcessResult probe = RunProcess(kCli, {"probe", "-p", c.port, "--json"}, {}, {dir});
        EXPECT_EQ(probe.exitCode, c.exitCode) << probe.err;
        nlohmann::json answer = nlohmann::json::parse(probe.out, nullptr, false);
        ASSERT_TRUE(answer.is_object()) << probe.out;
        EXPECT_EQ(answer["port"], c.port);
        EXPECT_EQ(answer["state"].get<std::string>().rfind(c.state, 0), 0u) << answer["state"];
        EXPECT_EQ(answer["modem"].is_null(), c.exitCode != 0);
        EXPECT_EQ(answer["problem"].is_null(), c.exitCode == 0);
    }

    // Ports there, none with a modem: said so, not "No COM port is available".
    modem.Stop();
    ProcessResult none = RunProcess(kCli, {"scan"}, {}, {dir});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_NE(none.err.find("No supported modem answered on any of the"), std::string::npos) << none.err;
    EXPECT_EQ(none.err.find("No COM port is available"), std::string::npos) << none.err;
}

TEST(CliScanTest, ListsThePortsWithTheModemsFound)
{
    ScopedTempDir ports;
    std::string dir = "FLASHLOADER_PORTS=" + ports.Path();
    ModemSimProcess modem, silent;
    ASSERT_TRUE(modem.Start({"--port", "COM8", "--ident", "KT-56 Bench"}, {dir}));
    ASSERT_TRUE(silent.Start({"--port", "COM9", "--silent"}, {dir}));
    ProcessResult result = RunProcess(kCli, {"scan"}, {}, {dir});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("COM8\tmodem\tCOM8 -- simulated modem (" + modem.DevicePath() + ")\tKT-56 Bench\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("COM9\tno modem\tCOM9 -- simulated modem (" + silent.DevicePath() + ")\t\n"),
              std::string::npos)
        << result.out;
}

}  // namespace

namespace {

// Every file of the bad-input corpus (and a huge one) is refused with a
// reason naming it, and nothing goes to the modem.
TEST(CliBadInputTest, BadImagesAreRefusedBeforeAnythingIsSent)
{
    ScopedTempDir dir;
    ModemSimProcess sim;
    ASSERT_TRUE(sim.Start({"--flash-out", dir.File("flashed.hex")}));
    std::vector<std::string> files;
    for (const std::string& name : ListDirectory(FL_SOURCE_DIR "/tests/data/bad-hex"))
        files.push_back(std::string(FL_SOURCE_DIR "/tests/data/bad-hex/") + name);
    ASSERT_GE(files.size(), 16u);
    WriteFileBytes(dir.File("huge.hex"), "");
    ASSERT_EQ(::truncate(dir.File("huge.hex").c_str(), 200L * 1024 * 1024), 0);
    files.push_back(dir.File("huge.hex"));

    for (const std::string& file : files) {
        ProcessResult result =
            RunProcess(kCli, {"flash", "--port", sim.DevicePath(), "--file", file, "--trace"}, dir.Path());
        EXPECT_EQ(result.exitCode, 4) << file;
        EXPECT_NE(result.err.find("The file " + file + " is not a valid Intel HEX file: "), std::string::npos)
            << result.err;
        // Checked before the port is opened: the modem hears nothing at all.
        EXPECT_EQ(result.err.find(">> "), std::string::npos) << file;
        EXPECT_EQ(result.err.find("Error: "), std::string::npos) << file;  // no word of the modem either
    }
    sim.Stop();
    EXPECT_TRUE(HexMemory(ReadFileBytes(dir.File("flashed.hex"))).empty());
}

TEST(CliBadInputTest, OverlongOptionsAreRefused)
{
    ProcessResult port = RunProcess(kCli, {"probe", "--port", std::string(100000, 'C')});
    EXPECT_EQ(port.exitCode, 3);
    EXPECT_NE(port.err.find("is not a port name"), std::string::npos);
    ProcessResult file = RunProcess(kCli, {"info", "--port", "/dev/null", "--file", std::string(5000, 'f')});
    EXPECT_EQ(file.exitCode, 4);
}

}  // namespace
