// flashloader.exe, the Windows wizard, run under Wine on an X desktop of
// the test's own and driven by keyboard only, as a person would, against the
// simulated modem on a Wine COM port. The Windows build's ctest runs this
// program with FL_WINDOWS_BIN_DIR naming where the .exe is, and a Wine
// prefix that is already up; without them every case is skipped.

#include "resources/ControlIds.h"
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
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

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

// A window as window-reader.exe reads it through the system's calls.
struct WindowLine {
    int depth = 0;
    int id = 0;
    std::string className;
    unsigned long style = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    std::string text;

    int CentreX() const { return (left + right) / 2; }
    int CentreY() const { return (top + bottom) / 2; }
    bool Inside(const WindowLine& outer) const
    {
        return left >= outer.left && top >= outer.top && right <= outer.right && bottom <= outer.bottom;
    }
};

// The windows titled title (all visible ones when empty), depth first, and
// the display's dots per inch.
struct Desktop {
    std::vector<WindowLine> lines;
    int dpi = 0;

    // The first window of that depth whose id and (when given) class match.
    const WindowLine* Find(int depth, int id, const std::string& className = {}) const
    {
        for (const WindowLine& line : lines)
            if (line.depth == depth && line.id == id && (className.empty() || line.className == className))
                return &line;
        return nullptr;
    }
    // The first window with this text (a page, a top-level window).
    const WindowLine* Titled(const std::string& text, int depth) const
    {
        for (const WindowLine& line : lines)
            if (line.depth == depth && line.text == text)
                return &line;
        return nullptr;
    }
};

Desktop ReadDesktop(const std::string& reader, const std::string& display, const std::string& title = {})
{
    std::vector<std::string> args = {reader};
    if (!title.empty())
        args.push_back(title);
    ProcessResult read = RunProcess("/usr/bin/wine", args, {}, {"WINEDEBUG=-all", display});
    Desktop desktop;
    std::istringstream in(read.out);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        for (std::size_t at = 0;;) {
            std::size_t tab = line.find('\t', at);
            fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos)
                break;
            at = tab + 1;
        }
        if (fields.size() == 2 && fields[0] == "dpi")
            desktop.dpi = std::atoi(fields[1].c_str());
        if (fields.size() != 9)
            continue;
        WindowLine window;
        window.depth = std::atoi(fields[0].c_str());
        window.id = std::atoi(fields[1].c_str());
        window.className = fields[2];
        window.style = std::stoul(fields[3], nullptr, 16);
        window.left = std::atoi(fields[4].c_str());
        window.top = std::atoi(fields[5].c_str());
        window.right = std::atoi(fields[6].c_str());
        window.bottom = std::atoi(fields[7].c_str());
        window.text = fields[8];
        desktop.lines.push_back(window);
    }
    return desktop;
}

// A folder of the test as Wine's programs name it.
std::string WinePath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

constexpr unsigned long kNoPrefix = 0x80;            // SS_NOPREFIX
constexpr unsigned long kBitmapStyle = 0x0E;         // SS_BITMAP
constexpr unsigned long kVisibleStyle = 0x10000000;  // WS_VISIBLE

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
        reader = std::string(bin) + "/window-reader.exe";
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

    Desktop Read(const std::string& title = {}) { return ReadDesktop(reader, session.DisplayVariable(), title); }

    // The stored selection of an earlier run: 57600 on COM8 and this image.
    void StoreSelection(const std::string& imagePath)
    {
        std::string record(132, '\0');
        record[0] = '\x00', record[1] = '\xE1', record[2] = '\x00', record[3] = '\x00';  // 57600
        record.replace(4, 4, "COM8");
        record.replace(9, imagePath.size(), imagePath);
        WriteFileBytes(dir.File("lastsel.dat"), record);
    }

    void TearDown() override
    {
        if (restoreDpi)
            RunProcess(
                "/usr/bin/wine",
                {"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f"},
                {}, {"WINEDEBUG=-all"});
        for (const std::string& port : addedPorts)
            RemoveFromWineSerialMap(port);
    }

    void StartWizard(std::vector<std::string> args = {})
    {
        XSession::EndWineDesktopsWithoutDisplay();
        args.insert(args.begin(), exe);
        ASSERT_TRUE(program.Start("/usr/bin/wine", args, dir.Path(), {"WINEDEBUG=-all", session.DisplayVariable()}));
    }

    std::string exe;
    std::string reader;
    bool restoreDpi = false;
    std::vector<std::string> addedPorts;  // to take out of the serial map again
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

// A folder named with an '&': the path page and the confirmation window show
// the path as it is, the '&' no mnemonic; the confirmation window and the
// About box open centred over the wizard.
TEST_F(WineWizardTest, AnAmpersandIsShownAsItIsAndTheWindowsOpenCentredOverTheWizard)
{
    Modem({});
    std::filesystem::create_directory(dir.File("fw & test"));
    WriteFileBytes(dir.File("fw & test/MODEM.HEX"), MakeImage({}));
    const std::string path = WinePath(dir.File("fw & test/MODEM.HEX"));
    StoreSelection(path);
    StartWizard();
    // Away from the screen's corner, where a window larger than the wizard
    // would be kept inside the screen rather than centred.
    session.X({"windowmove", Await("Modem Flash Loader - Welcome", 60), "300", "250"});
    ::usleep(300 * 1000);
    Key("Return");
    Await("Modem Flash Loader - COM Port Options", 90);
    Key("Return");
    Await("Modem Flash Loader - Loading File Path");
    Key("Return");
    ASSERT_FALSE(Await("Modem Flash Loader - Input Confirmation").empty());
    Desktop shown = Read();
    const WindowLine* window = shown.Titled("Modem Flash Loader - Input Confirmation", 0);
    const WindowLine* wizard = shown.Titled("Modem Flash Loader - Loading File Path", 0);
    ASSERT_TRUE(window && wizard);
    EXPECT_NEAR(window->CentreX(), wizard->CentreX(), 3);
    EXPECT_NEAR(window->CentreY(), wizard->CentreY(), 3);
    const WindowLine* field = shown.Find(1, IDC_CONFIRM_PATH);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text, path);
    EXPECT_NE(field->style & kNoPrefix, 0u);
    for (int id :
         {IDC_CONFIRM_PORT, IDC_CONFIRM_BAUD, IDC_CONFIRM_STATUS, IDC_CONFIRM_FILE_TYPE, IDC_CONFIRM_MODEM_CHECKSUM}) {
        const WindowLine* data = shown.Find(1, id);
        ASSERT_TRUE(data) << id;
        EXPECT_NE(data->style & kNoPrefix, 0u) << id;
    }

    Key("Escape");  // Change Inputs
    Await("Modem Flash Loader - Loading File Path");
    Key("alt+b");  // Back
    Await("Modem Flash Loader - COM Port Options");
    Key("alt+b");
    Await("Modem Flash Loader - Welcome");
    Key("space");  // ABOUT has the focus
    Await("About");
    shown = Read();
    const WindowLine* about = shown.Titled("About", 0);
    wizard = shown.Titled("Modem Flash Loader - Welcome", 0);
    ASSERT_TRUE(about && wizard);
    EXPECT_NEAR(about->CentreX(), wizard->CentreX(), 3);
    EXPECT_NEAR(about->CentreY(), wizard->CentreY(), 3);
    const WindowLine* product = shown.Find(1, IDC_ABOUT_PRODUCT);
    ASSERT_TRUE(product);
    EXPECT_NE(product->style & kNoPrefix, 0u);
    Key("Return");  // OK
    Key("Escape");  // Cancel
    int exitCode = -1;
    ASSERT_TRUE(program.Wait(20000, exitCode));
    EXPECT_EQ(exitCode, 0);
}

// A complete load (the checksums differ) without FLASHLDR.HEX in the start
// folder: the status says the download failed, and under it the window
// says where the file was looked for and that it comes with the firmware.
TEST_F(WineWizardTest, AMissingLoaderFileIsSaidWithWhereItWasLookedFor)
{
    Modem({"--checksum", "BEEF"});
    ToConfirmation();
    Key("Return");  // Perform Loading
    // Refused before anything is sent: the window keeps its title.
    const WindowLine* problem = nullptr;
    Desktop shown;
    for (int i = 0; i < 100 && problem == nullptr; ++i) {
        shown = Read("Modem Flash Loader - Input Confirmation");
        const WindowLine* line = shown.Find(1, IDC_CONFIRM_FILE_PROBLEM);
        if (line != nullptr && (line->style & kVisibleStyle) != 0)
            problem = line;
        else
            ::usleep(200 * 1000);
    }
    ASSERT_TRUE(problem) << "nothing said under the status";
    EXPECT_EQ(problem->text, "FLASHLDR.HEX was looked for in " + WinePath(dir.Path()) +
                                 " and is not there. It comes with the modem's firmware: put it in that folder, "
                                 "then try again.");
    const WindowLine* status = shown.Find(1, IDC_CONFIRM_STATUS);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->text.rfind("An error has occurred during the download of the FLASHLDR.HEX file. ", 0), 0u)
        << status->text;
    EXPECT_EQ(ReturnUntilEnded(60), 0);  // Close
    EXPECT_EQ(modem.Stop(), 0);
}

// Paths in folders named outside any 8-bit code page but UTF-8, given on the
// command line or picked with Browse: the path page and the confirmation
// window show them, the modem gets the image, and the store keeps them in
// the program's code page (UTF-8) within its 122 bytes.
TEST_F(WineWizardTest, PathsInAnyScriptFromTheCommandLineAndFromBrowseAreShownFlashedAndStored)
{
    const struct {
        const char* folder;
        bool browse;
    } cases[] = {{"固件", false}, {"é", true}, {"固件", true}, {"é", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + (c.browse ? " by Browse" : " on the command line"));
        std::filesystem::remove_all(dir.File(c.folder));
        std::filesystem::create_directory(dir.File(c.folder));
        const std::string image = MakeImage({});
        WriteFileBytes(dir.File(std::string(c.folder) + "/MODEM.HEX"), image);
        ::unlink(dir.File("lastsel.dat").c_str());
        ::unlink(dir.File("flashed.hex").c_str());
        const std::string path = WinePath(dir.File(std::string(c.folder) + "/MODEM.HEX"));
        Modem({});
        // Browse opens in the folder of the path in the edit box: a file
        // that is not there gives it the folder.
        StartWizard({"COM8", "57600", c.browse ? WinePath(dir.File(std::string(c.folder) + "/OTHER.HEX")) : path});
        Await("Modem Flash Loader - Welcome", 60);
        Key("Return");
        Await("Modem Flash Loader - COM Port Options", 90);
        Key("Return");
        Await("Modem Flash Loader - Loading File Path");
        if (c.browse) {
            Key("Tab");  // Browse
            Key("space");
            Await("Open");
            Key("ctrl+a");
            session.X({"type", "--delay", "50", "MODEM.HEX"});
            Key("Return");
            for (int i = 0; i < 50 && !session.Await("Open", 0).empty(); ++i)
                ::usleep(100 * 1000);
            Key("shift+Tab");  // back to the edit box, where Return is Finish
        }
        const Desktop pathPage = Read("Modem Flash Loader - Loading File Path");
        const WindowLine* edit = pathPage.Find(2, IDC_PATH_EDIT, "Edit");
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit->text, path);
        Key("Return");  // Finish
        Await("Modem Flash Loader - Input Confirmation");
        const Desktop confirmation = Read("Modem Flash Loader - Input Confirmation");
        const WindowLine* field = confirmation.Find(1, IDC_CONFIRM_PATH);
        ASSERT_TRUE(field);
        EXPECT_EQ(field->text, path);
        Key("Return");  // Perform Loading
        EXPECT_EQ(ReturnUntilEnded(120), 0);
        EXPECT_EQ(modem.Stop(), 0);
        EXPECT_EQ(HexMemory(ReadFileBytes(dir.File("flashed.hex"))), HexMemory(image));
        const std::string stored = ReadFileBytes(dir.File("lastsel.dat"));
        ASSERT_EQ(stored.size(), 132u);
        EXPECT_EQ(std::string(stored.c_str() + 9), path);
    }
}

// The wizard's picture on each page and the ABOUT button's picture are
// whole inside their pages at 96 and at 144 dots per inch, and larger at
// the larger.
TEST_F(WineWizardTest, PicturesAreWholeInsideTheirPagesAtNinetySixAndAHundredAndFortyFourDpi)
{
    std::map<int, int> heights;
    for (int dpi : {96, 144}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        ProcessResult set = RunProcess("/usr/bin/wine",
                                       {"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                                        "REG_DWORD", "/d", std::to_string(dpi), "/f"},
                                       {}, {"WINEDEBUG=-all"});
        ASSERT_EQ(set.exitCode, 0) << set.err;
        restoreDpi = true;
        Modem({});
        StartWizard();
        for (const char* title : {"Modem Flash Loader - Welcome", "Modem Flash Loader - COM Port Options",
                                  "Modem Flash Loader - Loading File Path"}) {
            SCOPED_TRACE(title);
            Await(title, 90);
            Desktop shown = Read(title);
            EXPECT_EQ(shown.dpi, dpi);
            const WindowLine* page = shown.Titled(title, 1);
            ASSERT_TRUE(page);
            // The page's own picture: among the windows that follow the page's.
            const WindowLine* picture = nullptr;
            for (std::size_t i = static_cast<std::size_t>(page - shown.lines.data()) + 1;
                 i < shown.lines.size() && shown.lines[i].depth > 1 && picture == nullptr; ++i)
                if (shown.lines[i].className == "Static" && (shown.lines[i].style & 0x1F) == kBitmapStyle)
                    picture = &shown.lines[i];
            ASSERT_TRUE(picture);
            EXPECT_TRUE(picture->Inside(*page))
                << "picture " << picture->left << "," << picture->top << " " << picture->right << "," << picture->bottom
                << " in page " << page->left << "," << page->top << " " << page->right << "," << page->bottom;
            EXPECT_GT(picture->bottom - picture->top, (page->bottom - page->top) * 3 / 4);
            heights[dpi] = picture->bottom - picture->top;
            if (std::string(title).find("Welcome") != std::string::npos) {
                const WindowLine* about = shown.Find(2, IDC_WELCOME_ABOUT);
                ASSERT_TRUE(about);
                EXPECT_TRUE(about->Inside(*page));
            }
            Key("Return");  // Next; Finish on the last page
        }
        Await("Modem Flash Loader - Input Confirmation");
        Key("Escape");  // Change Inputs
        Await("Modem Flash Loader - Loading File Path");
        Key("Escape");  // Cancel
        int exitCode = -1;
        ASSERT_TRUE(program.Wait(20000, exitCode));
        EXPECT_EQ(modem.Stop(), 0);
    }
    EXPECT_GT(heights[144], heights[96] * 5 / 4);
}

// Eight ports, the first seven silent: while they are probed one after
// another the notice shows the one being probed at its end, the earlier
// ones giving way behind "...", and the wizard answers and stays painted
// (the welcome page in sight, where Next was pressed).
TEST_F(WineWizardTest, TheNoticeShowsThePortBeingProbedAndTheWizardStaysPainted)
{
    Modem({});
    std::vector<std::unique_ptr<ModemSimProcess>> silent;
    for (int n = 1; n <= 7; ++n) {
        const std::string port = "COM" + std::to_string(n);
        silent.push_back(std::make_unique<ModemSimProcess>());
        ASSERT_TRUE(silent.back()->Start({"--wine-port", port, "--silent"})) << silent.back()->ErrorOutput();
        ASSERT_EQ(AddToWineSerialMap(port).exitCode, 0);
        addedPorts.push_back(port);
    }
    StartWizard();
    Await("Modem Flash Loader - Welcome", 60);
    Key("Return");  // Next: the scan
    std::vector<std::string> notices;
    for (int i = 0; i < 600 && session.Await("Modem Flash Loader - COM Port Options", 0).empty(); ++i) {
        Desktop shown = Read();
        const WindowLine* searching = nullptr;
        for (const WindowLine& line : shown.lines)
            if (line.depth == 1 && line.text == "Searching for modems...")
                searching = &line;
        if (searching == nullptr)
            continue;
        const WindowLine* ports = shown.Find(1, IDC_NOTICE_PORTS);
        ASSERT_TRUE(ports);
        EXPECT_NE(ports->style & kNoPrefix, 0u);
        EXPECT_NE(ports->text, "<busy>");
        const WindowLine* welcome = shown.Titled("Modem Flash Loader - Welcome", 1);
        ASSERT_TRUE(welcome);
        EXPECT_NE(welcome->style & kVisibleStyle, 0u) << "the welcome page is hidden during the scan";
        if (notices.empty() || notices.back() != ports->text)
            notices.push_back(ports->text);
    }
    // Each name in its turn, last.
    std::string shownLast;
    for (const std::string& notice : notices) {
        std::size_t blank = notice.rfind(' ');
        if (blank != std::string::npos)
            shownLast += notice.substr(blank + 1) + " ";
    }
    EXPECT_NE(shownLast.find("COM5 COM6 COM7"), std::string::npos) << shownLast;
    bool elided = false;
    for (const std::string& notice : notices)
        elided = elided || (notice.rfind("...", 0) == 0 && notice.find("COM7") != std::string::npos);
    EXPECT_TRUE(elided) << "no notice gave way at its start: " << (notices.empty() ? "" : notices.back());
    Await("Modem Flash Loader - COM Port Options");
    Key("Escape");  // Cancel
    int exitCode = -1;
    ASSERT_TRUE(program.Wait(20000, exitCode));
    EXPECT_EQ(exitCode, 0);
}

}  // namespace
