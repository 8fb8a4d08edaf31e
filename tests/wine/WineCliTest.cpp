// flashloader-cli.exe, the Windows build of the command line, run under Wine
// against the simulated modem on a Wine COM port (a dosdevices link to the
// simulator's pseudo-terminal). The Windows build's ctest runs this program
// with FL_WINDOWS_BIN_DIR naming where the .exe is, and a Wine prefix that
// is already up; without them every case is skipped.

#include "base/Version.h"
#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WineSerialMap.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class WineCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* bin = std::getenv("FL_WINDOWS_BIN_DIR");
        if (!bin || !*bin)
            GTEST_SKIP() << "FL_WINDOWS_BIN_DIR is not set: run from the Windows build's ctest";
        exe = std::string(bin) + "/flashloader-cli.exe";
        WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({}));
        WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader());
    }

    // The .exe in the test's folder, so that files are named as a Windows
    // user names them, relative to the current directory.
    //
    // The program writes something on every way out, so a run that ends
    // with nothing written at all never reached it: Wine's start of the
    // process failed (seen once in CI, exit 1 after a few ms, while other
    // tests started Wine processes of their own). That start is made once
    // more, half a second later, with Wine's error channel on, and what
    // Wine said goes into the log; a second silent end fails the case.
    ProcessResult Cli(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {exe};
        all.insert(all.end(), args.begin(), args.end());
        ProcessResult run = RunProcess("/usr/bin/wine", all, dir.Path(), {"WINEDEBUG=-all"});
        if (run.exitCode == 0 || !run.out.empty() || !run.err.empty())
            return run;
        std::printf("note: Wine ended flashloader-cli.exe with status %d before it wrote anything; started again\n",
                    run.exitCode);
        ::usleep(500 * 1000);  // past whatever Wine was doing at that moment
        run = RunProcess("/usr/bin/wine", all, dir.Path(), {"WINEDEBUG=-all,err+all"});
        std::printf("note: the second start ended with status %d; Wine said:\n%s\n", run.exitCode, run.err.c_str());
        return run;
    }

    // A simulated modem on the Wine port name.
    void Modem(ModemSimProcess& modem, const std::string& port, std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--wine-port", port});
        ASSERT_TRUE(modem.Start(args)) << modem.ErrorOutput();
    }

    std::string exe;
    ScopedTempDir dir;
};

// The version as a script on Windows reads it: on standard output, with
// the system's line end.
TEST_F(WineCliTest, VersionIsTheProjects)
{
    ProcessResult version = Cli({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, std::string("flashloader-cli ") + ProgramVersion() + "\r\n");
}

TEST_F(WineCliTest, ProbeAndInfoOverAWinePort)
{
    ModemSimProcess modem;
    Modem(modem, "COM3", {});
    ProcessResult probe = Cli({"probe", "--port", "COM3"});
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_NE(probe.out.find("V.92"), std::string::npos) << probe.out;

    ProcessResult info = Cli({"info", "--port", "com3", "--file", "MODEM.HEX"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("Load plan:  normal load"), std::string::npos) << info.out;
}

// Images in folders named in any script are flashed, and the paths come
// out in UTF-8 as the program's texts do: in the report, and in the reason
// for a file that is not there.
TEST_F(WineCliTest, ImagesInFoldersOfAnyScriptAreFlashedAndNamedInUtf8)
{
    ModemSimProcess modem;
    Modem(modem, "COM3", {"--flash-out", dir.File("flashed.hex")});
    for (const char* folder : {"固件", "é"}) {
        SCOPED_TRACE(folder);
        std::filesystem::create_directory(dir.File(folder));
        const std::string image = MakeImage({});
        WriteFileBytes(dir.File(std::string(folder) + "/MODEM.HEX"), image);
        std::string windowsPath = "Z:" + dir.File(folder);
        for (char& c : windowsPath)
            if (c == '/')
                c = '\\';
        ProcessResult run = Cli({"flash", "-p", "COM3", "-f", windowsPath + "\\MODEM.HEX", "--report", "report.json"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(HexMemory(ReadFileBytes(dir.File("flashed.hex"))), HexMemory(image));
        const auto report = nlohmann::json::parse(ReadFileBytes(dir.File("report.json")), nullptr, false);
        ASSERT_FALSE(report.is_discarded());
        EXPECT_EQ(report["ports"][0]["image"]["path"], windowsPath + "\\MODEM.HEX");
        ProcessResult missing = Cli({"flash", "-p", "COM3", "-f", windowsPath + "\\GONE.HEX"});
        EXPECT_EQ(missing.exitCode, 4);
        EXPECT_NE(missing.err.find(windowsPath + "\\GONE.HEX"), std::string::npos) << missing.err;
    }
}

// Windows of the NT family, and Wine, list the present ports in the serial
// device map; Wine maps only the machine's own serial devices there, so the
// test adds its simulated modem's port, as a driver would (the map lives
// as long as the Wine server).
TEST_F(WineCliTest, ScanListsThePortsOfTheSerialDeviceMap)
{
    ModemSimProcess modem;
    Modem(modem, "COM3", {});
    ProcessResult added = AddToWineSerialMap("COM3");
    ASSERT_EQ(added.exitCode, 0) << added.err;
    ProcessResult scan = Cli({"scan"});
    EXPECT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_NE(scan.out.find("COM3\tmodem\tCOM3\t"), std::string::npos) << scan.out;
}

// A bench on Windows: the JSON scan over the ports of the serial device map,
// one of them above COM9, and the records of a run over both, with the
// device each name leads to and the modem's own words.
TEST_F(WineCliTest, ScanJsonAndTheBenchRecordsNameTheDevices)
{
    ModemSimProcess low, high;
    Modem(low, "COM3", {"--ident", "KT-56 low"});
    Modem(high, "COM12", {"--ident", "KT-56 high"});
    for (const char* port : {"COM3", "COM12"}) {
        ProcessResult added = AddToWineSerialMap(port);
        ASSERT_EQ(added.exitCode, 0) << added.err;
    }
    auto unit = [](const nlohmann::json& ports, const std::string& name) {
        for (const nlohmann::json& port : ports)
            if (port["port"] == name)
                return port;
        return nlohmann::json();
    };
    ProcessResult scan = Cli({"scan", "--json"});
    EXPECT_EQ(scan.exitCode, 0) << scan.err;
    nlohmann::json listed = nlohmann::json::parse(scan.out, nullptr, false);
    ASSERT_TRUE(listed.is_object()) << scan.out;
    EXPECT_EQ(listed["tool"]["name"], "flashloader-cli");
    EXPECT_EQ(unit(listed["ports"], "COM3")["modem"]["identification"], "KT-56 low") << scan.out;
    EXPECT_EQ(unit(listed["ports"], "COM12")["modem"]["identification"], "KT-56 high") << scan.out;
    EXPECT_EQ(unit(listed["ports"], "COM12")["device"]["path"], "\\\\.\\COM12") << scan.out;

    ProcessResult run = Cli({"flash", "-p", "COM3", "-p", "COM12", "-f", "MODEM.HEX", "--report", "report.json",
                             "--log", "units.jsonl", "--station", "bench A"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    nlohmann::json report = nlohmann::json::parse(ReadFileBytes(dir.File("report.json")), nullptr, false);
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["schema"], 1);
    EXPECT_EQ(report["station"], "bench A");
    EXPECT_FALSE(report["host"].get<std::string>().empty());
    std::string windowsPath = "Z:" + dir.File("MODEM.HEX");
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    for (const auto& [name, words] : {std::pair{"COM3", "KT-56 low"}, std::pair{"COM12", "KT-56 high"}}) {
        SCOPED_TRACE(name);
        const nlohmann::json port = unit(report["ports"], name);
        ASSERT_TRUE(port.is_object()) << report.dump(1);
        EXPECT_EQ(port["device"]["path"], std::string("\\\\.\\") + name);
        EXPECT_TRUE(port["device"]["stablePath"].is_null());
        EXPECT_TRUE(port["device"]["usb"].is_null());  // a pseudo-terminal is no USB device
        EXPECT_EQ(port["modem"]["identification"], words);
        EXPECT_EQ(port["image"]["path"], windowsPath);
        EXPECT_EQ(port["result"], "succeeded");
    }
    const std::string log = ReadFileBytes(dir.File("units.jsonl"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
}

// Whole runs; what the modem holds afterwards is compared with the image.
struct FlashCase {
    const char* name;
    std::vector<std::string> modemArgs;
    std::vector<std::string> cliArgs;
    const char* planShown;
};

class WineFlashTest : public WineCliTest, public ::testing::WithParamInterface<FlashCase> {};

TEST_P(WineFlashTest, FlashedMemoryEqualsTheImage)
{
    const FlashCase& c = GetParam();
    std::vector<std::string> modemArgs = c.modemArgs;
    modemArgs.insert(modemArgs.end(), {"--flash-out", dir.File("flashed.hex"), "--restart-delay", "0.05"});
    ModemSimProcess modem;
    Modem(modem, "COM4", modemArgs);
    std::vector<std::string> args = {"flash", "--port", "COM4", "--baud", "115200", "--file", "MODEM.HEX"};
    args.insert(args.end(), c.cliArgs.begin(), c.cliArgs.end());
    ProcessResult run = Cli(args);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(c.planShown), std::string::npos) << run.out;
    EXPECT_EQ(modem.Stop(), 0);
    EXPECT_EQ(HexMemory(ReadFileBytes(dir.File("flashed.hex"))), HexMemory(ReadFileBytes(dir.File("MODEM.HEX"))));
}

INSTANTIATE_TEST_SUITE_P(Runs, WineFlashTest,
                         ::testing::Values(FlashCase{"Normal", {}, {}, "Load plan:  normal load"},
                                           // Refusals resent (NOK2, no code) and restarts after an
                                           // erase and a program failure (NOK1, NOK4), answered Yes.
                                           FlashCase{"NormalWithRefusalsAndRestarts",
                                                     {"--nok-at", "2:2", "--nok-at", "4:0", "--nok-at", "6:1",
                                                      "--nok-at", "9:4"},
                                                     {"--yes"},
                                                     "Load plan:  normal load"},
                                           FlashCase{"CompleteWithRefusalsAndRestarts",
                                                     {"--checksum", "BEEF", "--nok-at", "3:3", "--nok-at", "5:4"},
                                                     {"--yes"},
                                                     "Load plan:  complete load"}),
                         [](const ::testing::TestParamInfo<FlashCase>& info) { return std::string(info.param.name); });

// A port with nothing answering is given up after the handshake's three
// seconds, and the waiting costs next to no processor time.
TEST_F(WineCliTest, SilentPortIsGivenUpInAboutThreeSecondsWithoutSpinning)
{
    ModemSimProcess silent;
    Modem(silent, "COM5", {"--silent"});
    auto start = std::chrono::steady_clock::now();
    ProcessResult probe = Cli({"probe", "--port", "COM5"});
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(probe.exitCode, 3);  // a port problem: no modem answered
    EXPECT_NE(probe.err.find("COM5"), std::string::npos) << probe.err;
    EXPECT_GT(seconds, 2.9);
    EXPECT_LT(seconds, 20.0);
    // The program's own start under Wine costs a fraction of a second of
    // processor time; a spinning wait would cost the whole three seconds.
    EXPECT_LT(probe.cpuSeconds, 1.5) << "processor time " << probe.cpuSeconds << " s over " << seconds << " s";
}

// Ctrl-C in the console: Wine hands the terminal's SIGINT to the program as
// the console's CTRL_C_EVENT, as Windows does for a key press. The run
// stops at once while the first image line waits for the erase, says where
// it stopped and that the modem is only partly written, and fails.
TEST_F(WineCliTest, CtrlCDuringTheEraseStopsTheRunWithItsReason)
{
    ModemSimProcess modem;
    Modem(modem, "COM4", {"--verbose", "--slow-first-line", "60"});
    std::vector<std::string> all = {exe, "flash", "--port", "COM4", "--file", "MODEM.HEX"};
    auto signalled = std::chrono::steady_clock::now();
    ProcessResult run = RunProcess("/usr/bin/wine", all, dir.Path(), {"WINEDEBUG=-all"}, {}, [&](int pid) {
        auto start = std::chrono::steady_clock::now();
        while (modem.ErrorOutput().find("rx \":") == std::string::npos &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
            ::usleep(20 * 1000);
        ::usleep(300 * 1000);  // well inside the wait
        signalled = std::chrono::steady_clock::now();
        ::kill(pid, SIGINT);
    });
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    EXPECT_EQ(run.exitCode, 130) << run.out << run.err;  // 128 + SIGINT, as on Linux
    EXPECT_LT(seconds, 10.0);
    EXPECT_NE(run.err.find("Stopped at your request at line 1; the modem's flash is only partly written"),
              std::string::npos)
        << run.err;
}

TEST_F(WineCliTest, APortThatDoesNotExistIsNamedAsSuch)
{
    ProcessResult probe = Cli({"probe", "--port", "COM9"});
    EXPECT_EQ(probe.exitCode, 3);
    EXPECT_NE(probe.err.find("No such port"), std::string::npos) << probe.err;
}

// A device or a folder given where a file belongs is named for what it is,
// never read, and the modem is not touched.
TEST_F(WineCliTest, DevicesAndFoldersGivenAsFilesAreNamed)
{
    ModemSimProcess modem;
    Modem(modem, "COM4", {"--flash-out", dir.File("flashed.hex")});
    ASSERT_EQ(::mkdir(dir.File("FOLDER.HEX").c_str(), 0700), 0);
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--file", "NUL"}, "The file NUL could not be opened: it is a device, not a file."},
        {{"--file", "FOLDER.HEX"}, "The file FOLDER.HEX could not be opened: it is a directory, not a file."},
        {{"--file", "MODEM.HEX", "--report", "NUL"}, "The report NUL cannot be written: NUL is a device, not a file"},
        {{"--file", "MODEM.HEX", "--report", "FOLDER.HEX"},
         "The report FOLDER.HEX cannot be written: FOLDER.HEX is a directory, not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        std::vector<std::string> args = {"flash", "--port", "COM4"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProcessResult run = Cli(args);
        EXPECT_EQ(run.exitCode, 4) << run.out << run.err;  // a file problem
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    EXPECT_EQ(modem.Stop(), 0);
    EXPECT_TRUE(HexMemory(ReadFileBytes(dir.File("flashed.hex"))).empty());
}

}  // namespace
