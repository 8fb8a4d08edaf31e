// The Windows installer, flashloader-setup-<version>.exe, run under Wine as
// a factory PC would run it (/S), in a Wine prefix of the test's own made
// fresh for it: a new user's profile, a server of its own, nothing shared
// with the other Wine tests. The wizard is started from the Start menu's
// shortcut on an X desktop of the test's own. The Windows build's ctest
// runs this program with FL_WINDOWS_INSTALLER naming the installer; without
// it every case is skipped.

#include "base/Version.h"
#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include <unistd.h>

namespace {

const char kUninstallKey[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ModemFlashLoader";
const char kWelcome[] = "Modem Flash Loader - Welcome";

// UTF-16LE, as Windows keeps its strings in shortcuts and .reg files.
std::string Utf16(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = utf8[i];
        unsigned code = c < 0x80 ? c : c < 0xE0 ? c & 0x1F : c & 0x0F;
        int more = c < 0x80 ? 0 : c < 0xE0 ? 1 : 2;  // the names here are in the first plane
        for (++i; more-- > 0 && i < utf8.size(); ++i)
            code = code << 6 | (utf8[i] & 0x3F);
        out += char(code & 0xFF);
        out += char(code >> 8);
    }
    return out;
}

std::string Utf8(const std::string& utf16)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        unsigned code = static_cast<unsigned char>(utf16[i]) | static_cast<unsigned char>(utf16[i + 1]) << 8;
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | code >> 6);
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xE0 | code >> 12);
            out += char(0x80 | (code >> 6 & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// The Linux processes of the Windows programs of the prefix that are
// running; Wine's own, those of its Windows folder, are not counted.
std::vector<int> RunningWindowsPrograms()
{
    const std::string prefix = std::string(1, '\0') + "WINEPREFIX=" + std::getenv("WINEPREFIX") + '\0';
    std::vector<int> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string command = ReadFileBytes(entry.path().string() + "/cmdline");
        std::string environment = '\0' + ReadFileBytes(entry.path().string() + "/environ");
        if (environment.find(prefix) == std::string::npos || command.size() < 3 || command.substr(1, 2) != ":\\")
            continue;
        std::transform(command.begin(), command.end(), command.begin(), ::tolower);
        if (command.rfind("c:\\windows\\", 0) != 0)
            found.push_back(std::stoi(entry.path().filename().string()));
    }
    return found;
}

// The prefix, its server and its desktop, made once for all the cases.
struct Prefix {
    ScopedTempDir dir;
    XSession session;
    std::string error;         // why it could not be made
    std::string localAppData;  // %LOCALAPPDATA% as Windows names it
    std::string programsMenu;  // the user's Start menu programs, a Linux path
};

class WineInstallerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setup = std::getenv("FL_WINDOWS_INSTALLER") ? std::getenv("FL_WINDOWS_INSTALLER") : "";
        if (setup.empty() || !XSession::MissingTool().empty())
            return;
        prefix = std::make_unique<Prefix>();
        Prefix& p = *prefix;
        std::string home = p.dir.File("home");
        std::filesystem::create_directories(home);
        // Everything of Wine's stays inside the test's folder: the prefix,
        // and the home it would link the user's folders to. Without the menu
        // builder no shortcut becomes a desktop entry, and without Mono and
        // Gecko no download is offered.
        ::setenv("WINEPREFIX", p.dir.File("prefix").c_str(), 1);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=", 1);
        ::setenv("LC_ALL", "C.UTF-8", 1);  // the command lines' non-ASCII names
        if (!p.session.Start(p.dir.Path(), p.error))
            return;
        ::setenv("DISPLAY", p.session.Display().c_str(), 1);

        // The first start makes the prefix, and the services it starts
        // meanwhile serve it badly afterwards (the shell's COM server, for a
        // shortcut, fails after ten seconds): the second start is the first
        // of a made prefix. Server and services run with their output gone,
        // so that no command of the test waits for it.
        for (int start = 0; start < 2; ++start) {
            int code = -1;
            BackgroundProcess server, boot;
            if (start == 1)
                EndServer();
            if (!server.Start("/usr/bin/wineserver", {"-p60"}) || !server.Wait(60000, code) ||
                !boot.Start("/usr/bin/wineboot", {"-i"}) || !boot.Wait(600000, code)) {
                p.error = "Wine did not start in " + p.dir.File("prefix");
                return;
            }
        }
        p.localAppData = Trimmed(RunProcess("/usr/bin/wine", {"cmd", "/c", "echo", "%LOCALAPPDATA%"}).out);
        std::string appData = Trimmed(RunProcess("/usr/bin/wine", {"cmd", "/c", "echo", "%APPDATA%"}).out);
        p.programsMenu = UnixPath(appData + "\\Microsoft\\Windows\\Start Menu\\Programs");
        if (p.localAppData.find(":\\") != 1 || !FileExists(UnixPath(p.localAppData)))
            p.error = "no local application data folder in the new prefix: " + p.localAppData;
    }

    static void TearDownTestSuite()
    {
        if (prefix)
            EndServer();
        prefix.reset();
    }

    // The prefix's server and every process of it, ended and waited for.
    static void EndServer()
    {
        RunProcess("/usr/bin/wineserver", {"-k"});
        RunProcess("/usr/bin/wineserver", {"-w"});
    }

    void SetUp() override
    {
        if (setup.empty())
            GTEST_SKIP() << "FL_WINDOWS_INSTALLER is not set: run from the Windows build's ctest";
        std::string missing = XSession::MissingTool();
        if (!missing.empty())
            GTEST_SKIP() << missing << " is not installed (scripts/install-deps.sh installs it)";
        ASSERT_TRUE(prefix->error.empty()) << prefix->error;
    }

    static std::string UnixPath(const std::string& windowsPath)
    {
        return Trimmed(RunProcess("/usr/bin/winepath", {"-u", windowsPath}).out);
    }

    // A Windows program run to its end and that of every program it started
    // (an uninstaller goes on from a copy of itself); its exit code.
    static int RunToTheEnd(const std::vector<std::string>& args, const std::string& dir = {})
    {
        BackgroundProcess program;
        int code = -1;
        if (!program.Start("/usr/bin/wine", args, dir) || !program.Wait(300000, code))
            return -1;
        AwaitNoWindowsPrograms();
        return code;
    }

    // Those that are still there after two minutes are ended, so that the
    // next case finds the prefix as it should.
    static void AwaitNoWindowsPrograms()
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (!RunningWindowsPrograms().empty() && std::chrono::steady_clock::now() < deadline)
            ::usleep(100 * 1000);
        std::vector<int> left = RunningWindowsPrograms();
        EXPECT_TRUE(left.empty()) << left.size() << " Windows programs still run in the prefix";
        for (int pid : left)
            ::kill(pid, SIGKILL);
    }

    // The uninstall key's values as `reg export` writes them ("text" or
    // dword:0000000n); empty when there is no such key.
    std::map<std::string, std::string> UninstallKey()
    {
        std::string file = prefix->dir.File("key.reg");
        std::filesystem::remove(file);
        std::map<std::string, std::string> values;
        if (RunProcess("/usr/bin/wine", {"reg", "export", kUninstallKey, "Z:" + file, "/y"}).exitCode != 0)
            return values;
        std::string text = Utf8(ReadFileBytes(file));
        for (std::size_t at = 0; (at = text.find("\n\"", at)) != std::string::npos;) {
            std::size_t equals = text.find("\"=", at + 2), end = text.find('\r', at);
            std::string value = text.substr(equals + 2, end - equals - 2);
            for (std::size_t escape = 0; (escape = value.find('\\', escape)) != std::string::npos; ++escape)
                value.erase(escape, 1);
            values[text.substr(at + 2, equals - at - 2)] = value;
            at = end;
        }
        return values;
    }

    std::string StartDir() const { return UnixPath(prefix->localAppData + "\\Modem Flash Loader"); }
    std::string Shortcut() const { return prefix->programsMenu + "/Modem Flash Loader.lnk"; }

    // The wizard started from the shortcut, from a folder without settings:
    // its first page, left by Escape.
    void StartFromTheShortcutAndCancel()
    {
        ScopedTempDir elsewhere;
        XSession::EndWineDesktopsWithoutDisplay();
        int code = -1;
        BackgroundProcess start;
        ASSERT_TRUE(start.Start("/usr/bin/wine", {"start", "/unix", Shortcut()}, elsewhere.Path()));
        ASSERT_TRUE(start.Wait(60000, code));
        EXPECT_EQ(code, 0);
        bool welcome = !prefix->session.Await(kWelcome, 60).empty();
        EXPECT_TRUE(welcome) << "no window " << kWelcome;
        if (!welcome) {
            EXPECT_TRUE(prefix->session.Await("File Open Error", 1).empty()) << "the wizard found no tarnix.ini";
        }
        // Cancel, or OK in the box that came instead.
        prefix->session.X({"key", welcome ? "Escape" : "Return"});
        AwaitNoWindowsPrograms();
        if (!welcome)
            return;
        EXPECT_EQ(ReadFileBytes(StartDir() + "/lastsel.dat").size(), 132u);
        EXPECT_EQ(ListDirectory(elsewhere.Path()), std::vector<std::string>{});
    }

    static inline std::string setup;
    static inline std::unique_ptr<Prefix> prefix;
};

TEST_F(WineInstallerTest, SilentInstallTheShortcutsWizardAndSilentUninstallLeavingNothing)
{
    ASSERT_EQ(RunToTheEnd({setup, "/S"}), 0);
    const std::string programs = prefix->localAppData + "\\Programs\\Modem Flash Loader";
    const std::string programDir = UnixPath(programs), startDir = StartDir();
    EXPECT_EQ(Sorted(ListDirectory(programDir)),
              (std::vector<std::string>{"LICENSE", "README-windows.txt", "Uninstall.exe", "flashloader-cli.exe",
                                        "flashloader.exe"}));
    EXPECT_EQ(ListDirectory(startDir), std::vector<std::string>{"tarnix.ini"});

    // The texts as they are in the sources, with the line ends of Windows.
    const struct {
        std::string installed;
        const char* source;
    } texts[] = {
        {programDir + "/LICENSE", "LICENSE"},
        {programDir + "/README-windows.txt", "resources/README-windows.txt"},
        {startDir + "/tarnix.ini", "resources/tarnix.ini"},
    };
    for (const auto& text : texts)
        EXPECT_EQ(ReadFileBytes(text.installed),
                  WithCrLf(ReadFileBytes(std::string(FL_SOURCE_DIR) + "/" + text.source)))
            << text.installed;
    // The programs without their debugging information.
    for (const char* name : {"flashloader.exe", "flashloader-cli.exe"}) {
        std::string installed = ReadFileBytes(programDir + "/" + name);
        EXPECT_GT(installed.size(), 100000u) << name;
        EXPECT_EQ(installed.find(".debug_info"), std::string::npos) << name << " is not stripped";
    }

    std::map<std::string, std::string> key = UninstallKey();
    const std::string uninstaller = "\"" + programs + "\\Uninstall.exe\"";
    const std::map<std::string, std::string> expected = {
        {"DisplayName", "\"Modem Flash Loader\""},
        {"DisplayVersion", "\"" + std::string(ProgramVersion()) + "\""},
        {"DisplayIcon", "\"" + programs + "\\flashloader.exe,0\""},
        {"InstallLocation", "\"" + programs + "\""},
        {"UninstallString", "\"" + uninstaller + "\""},
        {"QuietUninstallString", "\"" + uninstaller + " /S\""},
        {"NoModify", "dword:00000001"},
        {"NoRepair", "dword:00000001"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(key[name], value) << name;
    std::size_t kib = 0;
    for (const std::string& name : ListDirectory(programDir))
        kib += std::filesystem::file_size(programDir + "/" + name) / 1024;
    EXPECT_NEAR(std::stoul(key["EstimatedSize"].substr(6), nullptr, 16), kib, 8.0);

    // The shortcut names the program, its icon and the start folder.
    std::string link = ReadFileBytes(Shortcut());
    EXPECT_NE(link.find(Utf16(programs + "\\flashloader.exe")), std::string::npos);
    EXPECT_NE(link.find(Utf16(prefix->localAppData + "\\Modem Flash Loader")), std::string::npos);

    StartFromTheShortcutAndCancel();

    ASSERT_EQ(RunToTheEnd({programDir + "/Uninstall.exe", "/S"}), 0);
    EXPECT_FALSE(FileExists(programDir));
    EXPECT_FALSE(FileExists(startDir));
    EXPECT_FALSE(FileExists(Shortcut()));
    EXPECT_TRUE(UninstallKey().empty());
}

// A user's edited settings survive a reinstallation; the uninstaller takes
// only its own files and those of the programs from the start folder, and
// leaves the user's images there.
TEST_F(WineInstallerTest, AReinstallKeepsTheEditedSettingsAndTheUninstallTheUsersFiles)
{
    ASSERT_EQ(RunToTheEnd({setup, "/S"}), 0);
    const std::string startDir = StartDir();
    const std::string edited = "[AboutBox]\r\nCompanyName=Bench 4\r\n";
    WriteFileBytes(startDir + "/tarnix.ini", edited);
    WriteFileBytes(startDir + "/MODEM.HEX", ":00000001FF\r\n");
    WriteFileBytes(startDir + "/~tarnix.ini", edited);
    WriteFileBytes(startDir + "/lastsel.dat", std::string(132, '\0'));
    ASSERT_EQ(RunToTheEnd({setup, "/S"}), 0);
    EXPECT_EQ(ReadFileBytes(startDir + "/tarnix.ini"), edited);
    const std::string programDir = UnixPath(prefix->localAppData + "\\Programs\\Modem Flash Loader");
    EXPECT_TRUE(FileExists(programDir + "/flashloader.exe"));

    ASSERT_EQ(RunToTheEnd({programDir + "/Uninstall.exe", "/S"}), 0);
    EXPECT_EQ(ListDirectory(startDir), std::vector<std::string>{"MODEM.HEX"});
    EXPECT_FALSE(FileExists(programDir));
    EXPECT_TRUE(UninstallKey().empty());
    std::filesystem::remove_all(startDir);
}

// A program folder with a name outside ASCII, given on the command line.
TEST_F(WineInstallerTest, AProgramFolderWithANonAsciiName)
{
    const std::string programs = "C:\\Fläsh-é\\Lader";  // /D= takes no quotes: no blank
    ASSERT_EQ(RunToTheEnd({setup, "/S", "/D=" + programs}), 0);
    const std::string programDir = UnixPath(programs);
    EXPECT_TRUE(FileExists(programDir + "/flashloader.exe")) << programDir;
    EXPECT_EQ(UninstallKey()["InstallLocation"], "\"" + programs + "\"");
    EXPECT_NE(ReadFileBytes(Shortcut()).find(Utf16(programs + "\\flashloader.exe")), std::string::npos);

    StartFromTheShortcutAndCancel();

    ASSERT_EQ(RunToTheEnd({programDir + "/Uninstall.exe", "/S"}), 0);
    EXPECT_FALSE(FileExists(programDir));
    EXPECT_FALSE(FileExists(StartDir()));
    EXPECT_TRUE(UninstallKey().empty());
}

}  // namespace
