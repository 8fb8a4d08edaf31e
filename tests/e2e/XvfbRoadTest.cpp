// The real program under a real X server, driven only by keyboard and mouse,
// from start to a flashed simulated modem.

#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class XvfbRoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string missing = XSession::MissingTool();
        if (!missing.empty())
            GTEST_SKIP() << missing << " is not installed (scripts/install-deps.sh installs it)";
        std::string error;
        ASSERT_TRUE(session.Start(dir.Path(), error)) << error;
        display = session.Display();
    }

    std::string Prop(const std::string& window, const std::string& name) { return session.Prop(window, name); }

    std::string Await(const std::string& title)
    {
        std::string id = session.Await(title);
        EXPECT_FALSE(id.empty()) << "no window " << title;
        return id;
    }

    ProcessResult X(std::vector<std::string> args) { return session.X(std::move(args)); }

    // The program started on a simulated modem on COM1, walked by Return
    // through the wizard to the confirmation window, whose id it gives.
    std::string ToConfirmation(const std::vector<std::string>& modemArgs, ModemSimProcess& modem,
                               BackgroundProcess& program)
    {
        std::string ports = dir.File("ports");
        ::mkdir(ports.c_str(), 0755);
        std::vector<std::string> env = {"FLASHLOADER_PORTS=" + ports};
        std::vector<std::string> args = {"--port", "COM1"};
        args.insert(args.end(), modemArgs.begin(), modemArgs.end());
        EXPECT_TRUE(modem.Start(args, env));
        WriteFileBytes(dir.File("tarnix.ini"), "");
        WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({}));
        env.push_back("DISPLAY=" + display);
        env.push_back("QT_QPA_PLATFORM=xcb");
        EXPECT_TRUE(program.Start(BuiltProgram("flashloader"), {}, dir.Path(), env));
        // The focus where the windows and the window manager put it.
        Await("Modem Flash Loader - Welcome");
        X({"key", "Return"});  // Next (the ABOUT picture has the focus): the scan
        Await("Modem Flash Loader - COM Port Options");
        X({"key", "Return"});  // Next
        Await("Modem Flash Loader - Loading File Path");
        X({"key", "Return"});  // Finish
        return Await("Modem Flash Loader - Input Confirmation");
    }

    ScopedTempDir dir;
    XSession session;
    std::string display;
};

TEST_F(XvfbRoadTest, WelcomeScanPathConfirmFlashClose)
{
    // By keyboard only, as a person: Return on every window.
    ModemSimProcess modem;
    BackgroundProcess program;
    ToConfirmation({"--flash-out", dir.File("flashed.hex")}, modem, program);
    X({"key", "Return"});  // Perform Loading has the focus
    for (int i = 0; i < 1000 && !FileExists(dir.File("flashed.hex")); ++i)
        ::usleep(20 * 1000);
    ASSERT_TRUE(FileExists(dir.File("flashed.hex"))) << "the modem was not flashed";
    ::usleep(300 * 1000);
    Await("Modem Flash Loader - Loading...");
    X({"key", "Return"});  // Close

    int exitCode = -1;
    ASSERT_TRUE(program.Wait(20000, exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0);
    modem.Stop();
    EXPECT_EQ(HexMemory(ReadFileBytes(dir.File("flashed.hex"))), HexMemory(ReadFileBytes(dir.File("MODEM.HEX"))));
    EXPECT_TRUE(FileExists(dir.File("lastsel.dat")));
}

// What a person types or clicks while the run goes on goes nowhere: the
// failure stands until Close is pressed after the run. The window asks for
// a frame without buttons.
TEST_F(XvfbRoadTest, InputDuringARunThatFailsLeavesTheFailureStandingUntilClose)
{
    // Two seconds of erasing, then line 5 is never acknowledged: the run
    // fails two seconds later.
    ModemSimProcess modem;
    BackgroundProcess program;
    std::string confirm = ToConfirmation({"--slow-first-line", "2", "--drop-ack-at", "5"}, modem, program);

    // Move only; no close, minimise or maximise asked for (flags, functions,
    // decorations: border and title).
    EXPECT_EQ(Prop(confirm, "_MOTIF_WM_HINTS"), "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x4, 0xa, 0x0, 0x0\n");
    EXPECT_EQ(Prop(confirm, "_NET_WM_ALLOWED_ACTIONS").find("MAXIMIZE"), std::string::npos);

    X({"key", "Return"});  // Perform Loading
    Await("Modem Flash Loader - Loading...");
    ::usleep(300 * 1000);
    // Where Close sits (at 212, 185 of 256 by 199 dialog units): a Return
    // and a click on it while it is greyed.
    X({"key", "Return"});
    std::string geometry = X({"getwindowgeometry", "--shell", confirm}).out;
    auto value = [&](const std::string& key) {
        std::size_t at = geometry.find(key + "=");
        return at == std::string::npos ? 0 : std::stoi(geometry.substr(at + key.size() + 1));
    };
    int width = value("WIDTH");
    int height = value("HEIGHT");
    ASSERT_GT(width, 0) << geometry;
    X({"mousemove", "--window", confirm, std::to_string(width * 212 / 256), std::to_string(height * 185 / 199), "click",
       "1"});

    int exitCode = -1;
    EXPECT_FALSE(program.Wait(8000, exitCode)) << "the window went with the run's end, exit " << exitCode;
    Await("Modem Flash Loader - Loading...");
    X({"key", "Return"});  // Close, now that the run is over
    ASSERT_TRUE(program.Wait(20000, exitCode)) << "Close did not end the program";
    EXPECT_EQ(exitCode, 0);
}

// The command line belongs to the program: tokens that look like the
// toolkit's own options are part of the selection, and the toolkit does
// not act on them.
TEST_F(XvfbRoadTest, CommandLineTokensThatLookLikeToolkitOptionsAreThePrograms)
{
    WriteFileBytes(dir.File("tarnix.ini"), "");
    BackgroundProcess program;
    std::vector<std::string> env = {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                                    "FLASHLOADER_PORTS=" + dir.File("ports")};
    ASSERT_TRUE(
        program.Start(BuiltProgram("flashloader"), {"COM2", "19200", "-style", "x.hex", "-reverse"}, dir.Path(), env));
    Await("Modem Flash Loader - Welcome");
    X({"key", "Escape"});  // Cancel: the selection is stored as the command line gave it

    int exitCode = -1;
    ASSERT_TRUE(program.Wait(20000, exitCode)) << "the program did not end";
    std::string stored = ReadFileBytes(dir.File("lastsel.dat"));
    ASSERT_EQ(stored.size(), 132u);
    EXPECT_EQ(stored.substr(0, 4), std::string("\x00\x4B\x00\x00", 4));  // 19200
    EXPECT_EQ(std::string(stored.c_str() + 4), "COM2");
    EXPECT_EQ(std::string(stored.c_str() + 9), "-style");
}

// The desktop menu's start of an installed wizard (the program in usr/bin,
// its sample in usr/share/flashloader), from a directory without settings:
// a fresh home gets its own start directory, which keeps the selection; a
// start that cannot use it shows only the settings box and says why on
// standard error.
TEST_F(XvfbRoadTest, MenuStartOfAnInstalledWizard)
{
    const std::string program = dir.File("usr/bin/flashloader");
    const std::string sample = dir.File("usr/share/flashloader/tarnix.ini");
    const std::string home = dir.File("home");
    const std::string menu = home + "/.local/share/flashloader";
    std::filesystem::create_directories(dir.File("usr/bin"));
    std::filesystem::create_directories(dir.File("run"));
    std::filesystem::copy_file(BuiltProgram("flashloader"), program);
    const std::string sampleText = "[Version]\nProductName=Installed\n";
    const struct {
        const char* name;
        std::function<void()> prepare;
        const char* window;
        const char* key;
        std::string err;
        bool stored;
    } cases[] =
        {
            {"fresh home",
             [&] {
        std::filesystem::create_directories(dir.File("usr/share/flashloader"));
        WriteFileBytes(sample, sampleText);
             },
             "Modem Flash Loader - Welcome", "Escape", "", true},
            {"start directory writable by others",
             [&] {
        ::unlink((menu + "/lastsel.dat").c_str());
        ::chmod(menu.c_str(), 0777);
             },
             "File Open Error", "Return",
             "The desktop menu's start (flashloader --from-menu) did not look for tarnix.ini: other users may write to " +
                 menu + " (mode 0777), so it is not used",
             false},
      {"sample missing",
       [&] {
        std::filesystem::remove_all(home);
        std::filesystem::remove_all(dir.File("usr/share"));
       },
       "File Open Error", "Return",
       menu + " has no tarnix.ini, and the installed sample " + sample + " to copy into it cannot be used", false},
        };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        ProcessResult result = RunProcess(program, {"--from-menu"}, dir.File("run"),
                                          {"HOME=" + home, "XDG_DATA_HOME=", "DISPLAY=" + display,
                                           "QT_QPA_PLATFORM=xcb", "FLASHLOADER_PORTS=" + dir.File("ports")},
                                          {}, [&](int pid) {
                                              // Another window, or none: the run cannot go on.
                                              if (Await(c.window).empty())
                                                  ::kill(pid, SIGKILL);
                                              X({"key", c.key});
                                          });
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(FileExists(menu + "/lastsel.dat"), c.stored);
        EXPECT_FALSE(FileExists(dir.File("run/lastsel.dat")));
        if (!c.stored)
            continue;
        // The fresh home's own folders, for the user alone, and the
        // installed sample's copy.
        EXPECT_EQ(ReadFileBytes(menu + "/tarnix.ini"), sampleText);
        for (const std::string& made : {home + "/.local", home + "/.local/share", menu}) {
            struct stat info {};
            ASSERT_EQ(::stat(made.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0700u) << made;
        }
    }
}

}  // namespace
