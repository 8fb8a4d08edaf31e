// flashloader-cli in the surroundings a script or a bench gives it: closed
// standard descriptors, a reader that goes away, FIFOs where files should
// be, terminal control bytes in what it prints, and records that cannot be
// written.

#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/Process.h"
#include "tests/support/ScriptedModem.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kCli = BuiltProgram("flashloader-cli");

// The command line through bash, which sets up what the program starts with.
ProcessResult Shell(const std::string& script, std::vector<std::string> args, const std::string& dir)
{
    args.insert(args.begin(), {"-c", script, kCli});
    return RunProcess("/bin/bash", args, dir);
}

class HostCliTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFileBytes(dir.File("MODEM.HEX"), MakeImage(spec)); }
    void StartModem(std::vector<std::string> args = {})
    {
        args.insert(args.end(), {"--flash-out", dir.File("flashed.hex")});
        ASSERT_TRUE(sim.Start(args));
    }
    bool FlashedWhole()
    {
        sim.Stop();
        return FileExists(dir.File("flashed.hex")) &&
               HexMemory(ReadFileBytes(dir.File("flashed.hex"))) == HexMemory(ReadFileBytes(dir.File("MODEM.HEX")));
    }
    ImageSpec spec;
    ScopedTempDir dir;
    ModemSimProcess sim;
};

// Started with standard output and error closed, the port would otherwise
// take descriptor 1 or 2, and the rows and the trace would go to the modem
// between the image's lines.
TEST_F(HostCliTest, ClosedStandardDescriptorsNeverReachTheModemLine)
{
    for (const char* closing : {">&- 2>&-", "<&- >&- 2>&-", "2>&-"}) {
        SCOPED_TRACE(closing);
        StartModem();
        ProcessResult result =
            Shell(std::string("exec \"$0\" \"$@\" ") + closing,
                  {"flash", "--port", sim.DevicePath(), "--file", dir.File("MODEM.HEX"), "--trace"}, dir.Path());
        EXPECT_EQ(result.exitCode, 0) << result.out;
        EXPECT_TRUE(FlashedWhole());
        ::unlink(dir.File("flashed.hex").c_str());
    }
}

// info's answer is what it prints: one that cannot be written whole is no
// success, in JSON as in text.
TEST_F(HostCliTest, AnInfoAnswerThatCannotBeWrittenFails)
{
    StartModem();
    for (const char* json : {"--json", "--trace"}) {
        SCOPED_TRACE(json);
        ProcessResult result =
            Shell("exec \"$0\" \"$@\" >/dev/full",
                  {"info", "--port", sim.DevicePath(), "--file", dir.File("MODEM.HEX"), json}, dir.Path());
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("flashloader-cli: the output could not be written"), std::string::npos) << result.err;
    }
}

// A pipe into head: once head has its bytes, every write fails. The run
// goes on to its end, writes its report and exits with its own status.
TEST_F(HostCliTest, AReaderThatGoesAwayLeavesTheRunToItsEnd)
{
    const struct {
        const char* name;
        std::vector<std::string> modem;
        std::vector<std::string> options;
        int exitCode;
        bool whole;
    } cases[] = {
        {"one port", {}, {}, 0, true},
        {"one port with a report", {}, {"--report", dir.File("report.json")}, 0, true},
        {"a refusing modem with a report", {"--nok1", "1"}, {"--report", dir.File("report.json")}, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(dir.File("report.json").c_str());
        StartModem(c.modem);
        std::vector<std::string> args{"flash", "--port", sim.DevicePath(), "--file", dir.File("MODEM.HEX")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ProcessResult result = Shell("set -o pipefail; \"$0\" \"$@\" 2>&1 | head -c 1 >/dev/null", args, dir.Path());
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(FlashedWhole(), c.whole);
        if (!c.options.empty()) {
            nlohmann::json report = nlohmann::json::parse(ReadFileBytes(dir.File("report.json")), nullptr, false);
            ASSERT_TRUE(report.is_object());
            EXPECT_EQ(report["ports"][0]["result"], c.whole ? "succeeded" : "failed");
        }
        ::unlink(dir.File("flashed.hex").c_str());
    }
}

// Nothing may wait on a FIFO that stands where a file should be; each is
// named for what it is.
TEST_F(HostCliTest, FifosWhereFilesShouldBeAreNamedAndNeverWaitedOn)
{
    StartModem({"--checksum", "BEEF"});  // a complete load: the loader file is needed
    for (const char* name : {"FIFO.HEX", "FLASHLDR.HEX", "tarnix.ini", "lastsel.dat"})
        ASSERT_EQ(::mkfifo(dir.File(name).c_str(), 0600), 0);
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    } cases[] = {
        {{"info", "--port", sim.DevicePath(), "--file", dir.File("FIFO.HEX")},
         4,
         "The file " + dir.File("FIFO.HEX") + " could not be opened: it is a FIFO, not a file."},
        {{"flash", "--port", sim.DevicePath(), "--file", dir.File("MODEM.HEX")},
         4,
         "The file " + dir.File("FLASHLDR.HEX") + " could not be opened: it is a FIFO, not a file."},
        {{"flash", "--port", sim.DevicePath(), "--file", dir.File("MODEM.HEX"), "--log", dir.File("lastsel.dat")},
         4,
         "The log " + dir.File("lastsel.dat") + " cannot be written: " + dir.File("lastsel.dat") +
             " is a FIFO, not a file that records can be appended to. Nothing was flashed."},
        {{"about"}, 1, "Couldn't open file tarnix.ini: it is a FIFO, not a file"},
        {{"selection"}, 0, "lastsel.dat is a FIFO, not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<std::string> args{"20", kCli};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProcessResult result = RunProcess("/usr/bin/timeout", args, dir.Path());
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;  // 124: it waited
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
    }
    EXPECT_FALSE(FlashedWhole());
}

// What the modem or the settings file says reaches the terminal with its
// control bytes escaped: an identification cannot retitle the terminal or
// clear the screen.
TEST_F(HostCliTest, ControlBytesFromOutsideAreEscaped)
{
    ScriptedModem modem(FullModem("KT-56\x1b]0;owned\x07\x1b[2J\xc2\x9b"
                                  "1m"));
    ProcessResult probe = RunProcess(kCli, {"probe", "--port", modem.Path()});
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(probe.out, "KT-56\\x1B]0;owned\\x07\\x1B[2J\\xC2\\x9B1m\n");

    WriteFileBytes(dir.File("tarnix.ini"), "[AboutBox]\nCompanyName=Kes\x1b[31mtrolan\tLtd\n");
    ProcessResult about = RunProcess(kCli, {"about"}, dir.Path());
    EXPECT_EQ(about.exitCode, 0);
    EXPECT_EQ(about.out, "Flash Loader 5.x.x\nKes\\x1B[31mtrolan\tLtd\n<none>\n");
}

// A record that cannot be written is found before any modem is touched; a
// port named twice is said to be, not "in use by another program"; an image
// saved as UTF-16 is called that.
TEST_F(HostCliTest, RunsThatCannotBeRecordedOrNameAPortTwiceDoNotStart)
{
    StartModem();
    ASSERT_EQ(::mkdir(dir.File("folder").c_str(), 0700), 0);
    ASSERT_EQ(::symlink(sim.DevicePath().c_str(), dir.File("COM4").c_str()), 0);
    std::string utf16 = "\xff\xfe";
    for (char c : ReadFileBytes(dir.File("MODEM.HEX")))
        utf16 += std::string{c, '\0'};
    WriteFileBytes(dir.File("UTF16.HEX"), utf16);
    const std::string port = sim.DevicePath();
    const struct {
        std::vector<std::string> options;
        int exitCode;
        std::string err;
    } cases[] = {
        {{"--port", port, "--report", dir.File("folder")},
         4,
         "The report " + dir.File("folder") + " cannot be written: " + dir.File("folder") +
             " is a directory, not a file"},
        {{"--port", port, "--report", dir.File("no/such/report.json")},
         4,
         "cannot be written: No file can be made in " + dir.File("no/such")},
        {{"--port", port, "--port", port}, 2, port + " is named twice; name each port once."},
        {{"--port", port, "--port", dir.File("COM4")}, 2, " name the same port; name each port once."},
        {{"--port", port, "--file", dir.File("UTF16.HEX")}, 4, "it is UTF-16 text, two bytes a character"},
        {{"--port", port, "--log", dir.File("no/such/log.jsonl")}, 4, "cannot be opened for appending"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        std::vector<std::string> args{"flash", "--trace"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        if (std::find(args.begin(), args.end(), "--file") == args.end())
            args.insert(args.end(), {"--file", dir.File("MODEM.HEX")});
        ProcessResult result = RunProcess(kCli, args, dir.Path());
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find(">> AT&&FGO"), std::string::npos);
    }
    EXPECT_FALSE(FlashedWhole());
}

}  // namespace
