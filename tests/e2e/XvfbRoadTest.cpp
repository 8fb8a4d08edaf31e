// The real program under a real X server, driven only by keyboard and mouse,
// from start to a flashed simulated modem.

#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kXvfb[] = "/usr/bin/Xvfb";
const char kXdotool[] = "/usr/bin/xdotool";

class XvfbRoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(kXvfb, X_OK) != 0 || ::access(kXdotool, X_OK) != 0)
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        int number = 60 + static_cast<int>(::getpid() % 500);
        display = ":" + std::to_string(number);
        ASSERT_TRUE(server.Start(kXvfb, {display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}));
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int i = 0; i < 250 && ::access(socket.c_str(), F_OK) != 0; ++i)
            ::usleep(20 * 1000);
        ASSERT_EQ(::access(socket.c_str(), F_OK), 0) << "the X server did not come up";
    }

    // Waits for the window with this title and gives it the keyboard.
    std::string Window(const std::string& title)
    {
        ProcessResult found = X({"search", "--sync", "--onlyvisible", "--name", "^" + title + "$"});
        std::string id = found.out.substr(0, found.out.find('\n'));
        EXPECT_FALSE(id.empty()) << "no window " << title;
        X({"windowfocus", "--sync", id});
        return id;
    }
    // xdotool, given at most 30 seconds: a window that never comes fails
    // the test instead of hanging it.
    ProcessResult X(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"30", kXdotool});
        return RunProcess("/usr/bin/timeout", args, {}, {"DISPLAY=" + display});
    }

    std::string display;
    BackgroundProcess server;
    ScopedTempDir dir;
};

TEST_F(XvfbRoadTest, WelcomeScanPathConfirmFlashClose)
{
    std::string ports = dir.File("ports");
    ::mkdir(ports.c_str(), 0755);
    std::vector<std::string> env = {"FLASHLOADER_PORTS=" + ports};
    ModemSimProcess modem;
    ASSERT_TRUE(modem.Start({"--port", "COM1", "--flash-out", dir.File("flashed.hex")}, env));
    WriteFileBytes(dir.File("tarnix.ini"), "");
    WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({}));

    BackgroundProcess program;
    env.push_back("DISPLAY=" + display);
    env.push_back("QT_QPA_PLATFORM=xcb");
    ASSERT_TRUE(program.Start(BuiltProgram("flashloader"), {}, dir.Path(), env));

    std::string welcome = Window("Modem Flash Loader - Welcome");
    X({"mousemove", "--window", welcome, "40", "40", "click", "1"});  // into the window, on the picture
    X({"key", "Return"});                                              // Next: the scan
    Window("Modem Flash Loader - COM Port Options");
    X({"key", "Return"});                                              // Next
    Window("Modem Flash Loader - Loading File Path");
    X({"key", "Return"});                                              // Finish
    Window("Modem Flash Loader - Input Confirmation");
    X({"key", "space"});                                               // Perform Loading has the focus
    for (int i = 0; i < 1000 && !FileExists(dir.File("flashed.hex")); ++i)
        ::usleep(20 * 1000);
    ASSERT_TRUE(FileExists(dir.File("flashed.hex"))) << "the modem was not flashed";
    ::usleep(300 * 1000);
    Window("Modem Flash Loader - Loading...");
    X({"key", "Return"});                                              // Close

    int exitCode = -1;
    ASSERT_TRUE(program.Wait(20000, exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0);
    modem.Stop();
    EXPECT_EQ(HexMemory(ReadFileBytes(dir.File("flashed.hex"))), HexMemory(ReadFileBytes(dir.File("MODEM.HEX"))));
    EXPECT_TRUE(FileExists(dir.File("lastsel.dat")));
}

// The command line belongs to the program: tokens that look like the
// toolkit's own options are part of the selection, and the toolkit does
// not act on them.
TEST_F(XvfbRoadTest, CommandLineTokensThatLookLikeToolkitOptionsAreThePrograms)
{
    WriteFileBytes(dir.File("tarnix.ini"), "");
    BackgroundProcess program;
    std::vector<std::string> env = {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "FLASHLOADER_PORTS=" + dir.File("ports")};
    ASSERT_TRUE(program.Start(BuiltProgram("flashloader"), {"COM2", "19200", "-style", "x.hex", "-reverse"}, dir.Path(),
                              env));
    Window("Modem Flash Loader - Welcome");
    X({"key", "Escape"});  // Cancel: the selection is stored as the command line gave it

    int exitCode = -1;
    ASSERT_TRUE(program.Wait(20000, exitCode)) << "the program did not end";
    std::string stored = ReadFileBytes(dir.File("lastsel.dat"));
    ASSERT_EQ(stored.size(), 132u);
    EXPECT_EQ(stored.substr(0, 4), std::string("\x00\x4B\x00\x00", 4));  // 19200
    EXPECT_EQ(std::string(stored.c_str() + 4), "COM2");
    EXPECT_EQ(std::string(stored.c_str() + 9), "-style");
}

} // namespace
