// The desktop menu's start directory, on real files: made, checked and
// seeded, or refused with a reason, and never written through a link.

#include "app/MenuStart.h"

#include "base/Paths.h"
#include "tests/support/AppFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kSample[] = "[Version]\nProductName=Modem Flash Loader\n";

TEST(MenuStartDirectoryTest, FollowsTheBaseDirectoryRules)
{
    const struct {
        const char* xdg;
        const char* home;
        const char* account;
        std::string directory;
    } cases[] = {
        {nullptr, "/home/ann", "/home/acct", "/home/ann/.local/share/flashloader"},
        {"/data/ann", "/home/ann", "", "/data/ann/flashloader"},
        {"/data/ann/", "/home/ann", "", "/data/ann/flashloader"},
        {"", "/home/ann", "", "/home/ann/.local/share/flashloader"},
        {"data", "/home/ann", "", "/home/ann/.local/share/flashloader"},  // relative: invalid, ignored
        {nullptr, nullptr, "/home/acct", "/home/acct/.local/share/flashloader"},
        {nullptr, "", "/home/acct", "/home/acct/.local/share/flashloader"},
        {nullptr, "ann", "/home/acct", "/home/acct/.local/share/flashloader"},
        {nullptr, "/", "", "/.local/share/flashloader"},
        {"/", nullptr, "", "/flashloader"},
        {nullptr, nullptr, "", ""},
        {"data", "", "nowhere", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " " + (c.home ? c.home : "(unset)") + " " + c.account);
        EXPECT_EQ(MenuStartDirectory(c.xdg, c.home, c.account), c.directory);
    }
    EXPECT_EQ(SampleBesideProgram("/usr/bin/flashloader"), "/usr/share/flashloader/tarnix.ini");
    EXPECT_EQ(SampleBesideProgram("/opt/fl/bin/flashloader"), "/opt/fl/share/flashloader/tarnix.ini");
    EXPECT_EQ(SampleBesideProgram("/bin/flashloader"), "/share/flashloader/tarnix.ini");
    EXPECT_EQ(SampleBesideProgram(""), "");
}

// The environment of this process, set for one case and put back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (m_had)
            m_old = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            ::setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            ::unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

TEST(MenuStartPlacesTest, ComeFromTheEnvironmentAndTheRunningProgram)
{
    ScopedEnv xdg("XDG_DATA_HOME", "relative/data");
    ScopedEnv home("HOME", "/home/ann");
    MenuStartPlaces places = FindMenuStartPlaces();
    EXPECT_EQ(places.directory, "/home/ann/.local/share/flashloader");
    EXPECT_TRUE(places.problem.empty());
    // Beside this test program in the build tree, never the source tree's.
    EXPECT_EQ(places.sample, SampleBesideProgram(std::string(FL_BIN_DIR) + "/test_app"));
    {
        ScopedEnv noHome("HOME", nullptr);
        std::string account = FindMenuStartPlaces().directory;
        EXPECT_EQ(account.rfind("/.local/share/flashloader"), account.size() - 25) << account;
        EXPECT_NE(account, "/home/ann/.local/share/flashloader");
    }
}

class MenuStartTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        ASSERT_EQ(::mkdir(dir.File("home").c_str(), 0755), 0);
        WriteFileBytes(dir.File("sample.ini"), kSample);
    }
    std::string Menu() const { return dir.File("home/.local/share/flashloader"); }
    std::string Settings() const { return Menu() + "/tarnix.ini"; }
    void MakeMenu(mode_t mode) const
    {
        std::filesystem::create_directories(Menu());
        ::chmod(Menu().c_str(), mode);
    }
    static mode_t Mode(const std::string& path)
    {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
    }
    static std::string Here()
    {
        std::string cwd;
        CurrentDirectory(cwd);
        return cwd;
    }
};

TEST_F(MenuStartTest, FreshHomeGetsAPrivateDirectoryWithACopyOfTheSample)
{
    std::string problem;
    ASSERT_TRUE(EnterMenuStartDirectory(Menu(), dir.File("sample.ini"), problem)) << problem;
    for (const char* made : {"home/.local", "home/.local/share", "home/.local/share/flashloader"})
        EXPECT_EQ(Mode(dir.File(made)) & 07777, 0700u) << made;
    EXPECT_EQ(Mode(dir.File("home")) & 07777, 0755u);  // there already: left as it was
    EXPECT_EQ(ReadFileBytes(Settings()), kSample);
    EXPECT_EQ(ListDirectory(Menu()), std::vector<std::string>{"tarnix.ini"});  // no working file left
    EXPECT_EQ(Here(), Menu());
}

// Whatever stands under the settings file's name stays as it is, and the
// start goes on there; the settings step reads it or says why it cannot.
TEST_F(MenuStartTest, WhatIsThereUnderTheNameIsLeftAlone)
{
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
    } cases[] =
        {
            {"an edited file", [](const std::string& p) { WriteFileBytes(p, "[AboutBox]\nCompanyName=Mine\n"); }},
            {"a link to a file elsewhere",
             [this](const std::string& p) {
        WriteFileBytes(dir.File("elsewhere"), "theirs");
        ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), p.c_str()), 0);
             }},
            {"a link to nothing",
             [this](const std::string& p) { ASSERT_EQ(::symlink(dir.File("nothing").c_str(), p.c_str()), 0); }},
            {"a FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
            {"a directory", [](const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0700), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.File("home/.local"));
        ::unlink(dir.File("elsewhere").c_str());
        MakeMenu(0700);
        c.make(Settings());
        mode_t before = Mode(Settings());
        std::string problem;
        EXPECT_TRUE(EnterMenuStartDirectory(Menu(), dir.File("sample.ini"), problem)) << problem;
        EXPECT_EQ(Mode(Settings()), before);
        EXPECT_NE(ReadRegularFile(Settings(), 1024).bytes, kSample);  // never waits on the FIFO
        EXPECT_FALSE(FileExists(dir.File("nothing")));
        if (FileExists(dir.File("elsewhere"))) {
            EXPECT_EQ(ReadFileBytes(dir.File("elsewhere")), "theirs");
        }
        EXPECT_EQ(ListDirectory(Menu()), std::vector<std::string>{"tarnix.ini"});
        EXPECT_EQ(Here(), Menu());
        ::chdir(dir.Path().c_str());
    }
}

// A directory that cannot be made, is none, is another user's or may be
// written by others is not used; the reason names it and how to mend it,
// and the current directory stays.
TEST_F(MenuStartTest, DirectoriesThatCannotServeAreRefusedWithAReason)
{
    const struct {
        const char* name;
        std::function<void()> make;
        std::string sample;
        std::string says;
    } cases[] =
        {
            {"sample missing", [this] { MakeMenu(0700); }, dir.File("missing.ini"),
             "has no tarnix.ini, and the installed sample " + dir.File("missing.ini") +
                 " to copy into it cannot be used (No such file or directory): reinstall flashloader, or put a "
                 "tarnix.ini into " +
                 Menu() + "."},
            {"sample a directory", [this] { MakeMenu(0700); }, dir.Path(), "cannot be used (a directory)"},
            {"no directory",
             [this] {
        std::filesystem::create_directories(dir.File("home/.local/share"));
        WriteFileBytes(Menu(), "");
             },
             dir.File("sample.ini"), Menu() + " is not a directory: remove or rename it"},
            {"a parent no directory", [this] { WriteFileBytes(dir.File("home/.local"), ""); }, dir.File("sample.ini"),
             dir.File("home/.local") + " is not a directory: remove or rename it"},
            {"writable by all", [this] { MakeMenu(0777); }, dir.File("sample.ini"),
             "other users may write to " + Menu() + " (mode 0777), so it is not used: make it yours alone (chmod 700 " +
                 Menu() + ")."},
            {"writable by the group", [this] { MakeMenu(0770); }, dir.File("sample.ini"), "(mode 0770)"},
            {"another user's",
             [this] {
        if (::geteuid() == 0) {
            MakeMenu(0700);
            ASSERT_EQ(::chown(Menu().c_str(), 65534, 65534), 0);
        } else {
            std::filesystem::create_directories(dir.File("home/.local/share"));
            ASSERT_EQ(::symlink("/usr", Menu().c_str()), 0);  // root's
        }
             },
             dir.File("sample.ini"), " belongs to another user (uid "},
      };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.File("home/.local"));
        c.make();
        std::string problem;
        EXPECT_FALSE(EnterMenuStartDirectory(Menu(), c.sample, problem));
        EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
        EXPECT_FALSE(FileExists(Settings()));
        EXPECT_EQ(Here(), dir.Path());
    }
}

}  // namespace
