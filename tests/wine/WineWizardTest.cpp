// flashloader.exe, the Windows wizard, run under Wine on an X desktop of
// the test's own and driven by keyboard only, as a person would, against the
// simulated modem on a Wine COM port. The Windows build's ctest runs this
// program with FL_WINDOWS_BIN_DIR naming where the .exe is, and a Wine
// prefix that is already up; without them every case is skipped.

#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WineSerialMap.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>

#include <unistd.h>

namespace {

// The pixels of a window as xwd writes them (32 bits a pixel, as a
// true-colour screen of depth 24 gives them).
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;  // 0xRRGGBB, row after row

    bool Read(const std::string& xwd)
    {
        auto field = [&](int index) -> std::uint32_t {
            const auto* at = reinterpret_cast<const unsigned char*>(xwd.data()) + index * 4;
            return (std::uint32_t(at[0]) << 24) | (std::uint32_t(at[1]) << 16) | (std::uint32_t(at[2]) << 8) | at[3];
        };
        if (xwd.size() < 100)
            return false;
        const std::uint32_t headerSize = field(0), bitsPerPixel = field(11), bytesPerLine = field(12),
                            byteOrder = field(7), colours = field(19);
        width = static_cast<int>(field(4));
        height = static_cast<int>(field(5));
        const std::size_t start = headerSize + colours * 12;
        if (bitsPerPixel != 32 || xwd.size() < start + std::size_t(bytesPerLine) * height)
            return false;
        rgb.resize(std::size_t(width) * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto* p = reinterpret_cast<const unsigned char*>(xwd.data()) + start + y * bytesPerLine + x * 4;
                std::uint32_t value =
                    byteOrder == 0
                        ? (std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0])
                        : (std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]);
                rgb[std::size_t(y) * width + x] = value & 0xFFFFFF;
            }
        }
        return true;
    }

    // Pixels of this colour in the rectangle given in dialog units of a
    // window whose client area is duWidth by duHeight of them.
    int Count(std::uint32_t colour, int duWidth, int duHeight, int x, int y, int w, int h) const
    {
        int count = 0;
        for (int py = y * height / duHeight; py < (y + h) * height / duHeight && py < height; ++py)
            for (int px = x * width / duWidth; px < (x + w) * width / duWidth && px < width; ++px)
                count += rgb[std::size_t(py) * width + px] == colour;
        return count;
    }
};

class WineWizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* bin = std::getenv("FL_WINDOWS_BIN_DIR");
        if (!bin || !*bin)
            GTEST_SKIP() << "FL_WINDOWS_BIN_DIR is not set: run from the Windows build's ctest";
        std::string missing = XSession::MissingTool();
        if (!missing.empty())
            GTEST_SKIP() << missing << " is not installed (scripts/install-deps.sh installs it)";
        exe = std::string(bin) + "/flashloader.exe";
        std::string error;
        ASSERT_TRUE(session.Start(dir.Path(), error)) << error;
        WriteFileBytes(dir.File("tarnix.ini"), "");
        WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({}));
        // The port the scan finds the modem on, in the serial device map
        // as a driver would list it (the map lives as long as the Wine
        // server).
        ProcessResult added = AddToWineSerialMap("COM8");
        ASSERT_EQ(added.exitCode, 0) << added.err;
    }

    void Modem(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--wine-port", "COM8", "--flash-out", dir.File("flashed.hex")});
        ASSERT_TRUE(modem.Start(args)) << modem.ErrorOutput();
    }

    std::string Await(const std::string& title, int seconds = 30)
    {
        std::string id = session.Await(title, seconds);
        EXPECT_FALSE(id.empty()) << "no window " << title;
        return id;
    }

    void Key(const std::string& key) { session.X({"key", key}); }

    // The program started in the test's folder, walked by Return through
    // the wizard to the confirmation window, whose id it gives.
    std::string ToConfirmation()
    {
        XSession::EndWineDesktopsWithoutDisplay();
        EXPECT_TRUE(program.Start("/usr/bin/wine", {exe}, dir.Path(), {"WINEDEBUG=-all", session.DisplayVariable()}));
        Await("Modem Flash Loader - Welcome", 60);
        Key("Return");  // Next (the ABOUT picture has the focus): the scan
        // Every port of the map is probed, three seconds each where nothing answers.
        Await("Modem Flash Loader - COM Port Options", 90);
        Key("Return");  // Next
        Await("Modem Flash Loader - Loading File Path");
        Key("Return");  // Finish
        return Await("Modem Flash Loader - Input Confirmation");
    }

    // Return until the program ends: what is typed during the run goes
    // nowhere, and the first Return after it presses Close.
    int ReturnUntilEnded(int seconds)
    {
        int exitCode = -1;
        for (int i = 0; i < seconds * 2; ++i) {
            if (program.Wait(500, exitCode))
                return exitCode;
            Key("Return");
        }
        return -2;
    }

    std::string exe;
    ScopedTempDir dir;
    XSession session;
    ModemSimProcess modem;
    BackgroundProcess program;
};

TEST_F(WineWizardTest, KeyboardRoadFromWelcomeToAFlashedModemAndTheStoredSelection)
{
    Modem({});
    ToConfirmation();
    Key("Return");  // Perform Loading has the focus
    EXPECT_EQ(ReturnUntilEnded(120), 0);
    EXPECT_EQ(modem.Stop(), 0);
    EXPECT_EQ(HexMemory(ReadFileBytes(dir.File("flashed.hex"))), HexMemory(ReadFileBytes(dir.File("MODEM.HEX"))));
    std::string stored = ReadFileBytes(dir.File("lastsel.dat"));
    ASSERT_EQ(stored.size(), 132u);
    EXPECT_EQ(std::string(stored.c_str() + 4), "COM8");
}

// The modem is of another type than the image: the two Type fields, and
// only they, are black on yellow.
TEST_F(WineWizardTest, ATypeMismatchIsHighlightedOnExactlyItsTwoFields)
{
    Modem({"--type", "C"});
    std::string confirm = ToConfirmation();
    ::usleep(500 * 1000);
    ProcessResult shot = RunProcess("/usr/bin/xwd", {"-silent", "-id", confirm}, {}, {session.DisplayVariable()});
    Screenshot picture;
    ASSERT_TRUE(picture.Read(shot.out)) << "xwd gave " << shot.out.size() << " bytes";
    const std::uint32_t yellow = 0xFFFF00;
    const struct {
        const char* field;
        int x, y;
        bool highlighted;
    } fields[] = {
        {"file type", 66, 67, true},           {"modem type", 66, 83, true},      {"file sector size", 122, 67, false},
        {"modem sector size", 122, 83, false}, {"file checksum", 185, 67, false}, {"modem checksum", 185, 83, false},
    };
    for (const auto& f : fields) {
        int count = picture.Count(yellow, 256, 199, f.x, f.y, 34, 11);
        if (f.highlighted)
            EXPECT_GT(count, 50) << f.field;
        else
            EXPECT_EQ(count, 0) << f.field;
    }
    Key("Escape");  // Change Inputs
    Await("Modem Flash Loader - Loading File Path");
    Key("Escape");  // Cancel
    int exitCode = -1;
    ASSERT_TRUE(program.Wait(20000, exitCode));
    EXPECT_EQ(exitCode, 0);
}

// Three seconds of erasing, then line 5 is never acknowledged: the run
// fails. Return pressed while the run goes on goes nowhere, and the failure
// stands until Return presses Close after the run.
TEST_F(WineWizardTest, AFailedRunStandsUntilClose)
{
    Modem({"--slow-first-line", "3", "--drop-ack-at", "5"});
    ToConfirmation();
    Key("Return");  // Perform Loading
    Await("Modem Flash Loader - Loading...");
    int exitCode = -1;
    for (int i = 0; i < 4; ++i) {  // all within the erase
        Key("Return");
        EXPECT_FALSE(program.Wait(400, exitCode)) << "the window went during the run, exit " << exitCode;
    }
    EXPECT_FALSE(program.Wait(10000, exitCode)) << "the window went with the run's end, exit " << exitCode;
    EXPECT_FALSE(Await("Modem Flash Loader - Loading...").empty());
    Key("Return");  // Close
    ASSERT_TRUE(program.Wait(20000, exitCode)) << "Close did not end the program";
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(modem.Stop(), 0);
}

// Developer mode: the confirmation window on the stored selection comes
// first, without the wizard behind it; Change Inputs goes on to the wizard.
TEST_F(WineWizardTest, DeveloperModeOpensTheConfirmationWindowFirstThenTheWizard)
{
    Modem({});
    // The selection of an earlier run: 57600 on COM8, the image in the
    // test's folder as Wine names it.
    std::string record(132, '\0');
    record[0] = '\x00', record[1] = '\xE1', record[2] = '\x00', record[3] = '\x00';  // 57600
    record.replace(4, 4, "COM8");
    std::string path = "Z:" + dir.File("MODEM.HEX");
    for (char& c : path)
        if (c == '/')
            c = '\\';
    record.replace(9, path.size(), path);
    WriteFileBytes(dir.File("lastsel.dat"), record);

    XSession::EndWineDesktopsWithoutDisplay();
    ASSERT_TRUE(
        program.Start("/usr/bin/wine", {exe, "dev"}, dir.Path(), {"WINEDEBUG=-all", session.DisplayVariable()}));
    Await("Modem Flash Loader - Input Confirmation", 60);
    EXPECT_TRUE(session.Await("Modem Flash Loader - Welcome", 1).empty()) << "the wizard came before the window";
    Key("Escape");  // Change Inputs
    Await("Modem Flash Loader - Welcome");
    Key("Escape");  // Cancel
    int exitCode = -1;
    ASSERT_TRUE(program.Wait(20000, exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("lastsel.dat")), record);
}

// A sole --version or --help is answered in a box titled with the
// product's name before anything of a run: in a folder without settings
// (whose error a run would show first) the box is all there is, and its OK
// ends the program with no selection stored. The help is the longer text:
// its box is the taller.
TEST_F(WineWizardTest, VersionAndHelpAreAnsweredInABoxAndNothingElse)
{
    ::unlink(dir.File("tarnix.ini").c_str());
    std::map<std::string, int> heights;
    for (const char* request : {"--version", "--help"}) {
        SCOPED_TRACE(request);
        XSession::EndWineDesktopsWithoutDisplay();
        ASSERT_TRUE(
            program.Start("/usr/bin/wine", {exe, request}, dir.Path(), {"WINEDEBUG=-all", session.DisplayVariable()}));
        std::string box = Await("Modem Flash Loader", 60);
        ProcessResult geometry = session.X({"getwindowgeometry", box});
        std::size_t by = geometry.out.find('x', geometry.out.find("Geometry: "));
        heights[request] = by == std::string::npos ? 0 : std::atoi(geometry.out.c_str() + by + 1);
        Key("Return");  // OK
        int exitCode = -1;
        ASSERT_TRUE(program.Wait(20000, exitCode)) << "OK did not end the program";
        EXPECT_EQ(exitCode, 0);
        EXPECT_FALSE(FileExists(dir.File("lastsel.dat")));
    }
    EXPECT_GT(heights["--version"], 0);
    EXPECT_GT(heights["--help"], heights["--version"] + 100);
}

}  // namespace
