#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "app/MenuStart.h"
#include "base/Text.h"
#include "tests/support/AppFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/UiSteps.h"
#include "ui/qt/QtUserInterface.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class StartUpWindowsTest : public AppFixture {
protected:
    bool Run(std::string_view commandLine)
    {
        QtUserInterface ui(dialogs);
        CLoaderApp app(ui);
        return app.StartUp(commandLine);
    }
    ScriptedDialogs dialogs;
};

TEST_F(StartUpWindowsTest, MissingSettingsFileShowsOnlyTheErrorBox)
{
    EXPECT_FALSE(Run(""));
    EXPECT_EQ(dialogs.Lines(), std::vector<std::string>{"File Open Error: Couldn't open file tarnix.ini"});
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Stop);
    EXPECT_FALSE(FileExists(dir.File("lastsel.dat")));
}

TEST_F(StartUpWindowsTest, CancelOnTheFirstPageStoresTheStartUpSelection)
{
    WriteFileBytes(dir.File("tarnix.ini"), "");
    UiSteps steps;
    steps.When([] { return UiSteps::Modal("Modem Flash Loader - Welcome"); },
               [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_FALSE(Run("COM3 38400 /fw/a.hex"));
    EXPECT_TRUE(steps.Done());
    ResetProgramState();
    LoadLastSelection();
    EXPECT_EQ(std::string(FieldText(FlashSelection.PortName)), "COM3");
    EXPECT_EQ(FlashSelection.BaudRate, 38400);
    EXPECT_EQ(std::string(FieldText(FlashSelection.HexFilePath)), "/fw/a.hex");
}

// The menu's start directory is the start directory of the whole run: the
// selection is kept there, not where the program was started.
TEST_F(StartUpWindowsTest, MenuStartKeepsTheSelectionInItsOwnDirectory)
{
    WriteFileBytes(dir.File("sample.ini"), "");
    const std::string menu = dir.File("home/.local/share/flashloader");
    std::string problem;
    ASSERT_TRUE(EnterMenuStartDirectory(menu, dir.File("sample.ini"), problem)) << problem;
    UiSteps steps;
    steps.When([] { return UiSteps::Modal("Modem Flash Loader - Welcome"); },
               [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_FALSE(Run(""));
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(ReadFileBytes(menu + "/lastsel.dat").size(), 132u);
    EXPECT_FALSE(FileExists(dir.File("lastsel.dat")));
}

// A menu's start that could not go to its directory does not go on in the
// one it was run in, even where a settings file lies.
TEST_F(StartUpWindowsTest, FailedMenuStartShowsOnlyTheErrorBox)
{
    WriteFileBytes(dir.File("tarnix.ini"), "");
    WriteFileBytes(dir.File("data"), "");
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    StartFromMenu();
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_NE(StartPlace.problem.find(dir.File("data") + " is not a directory"), std::string::npos)
        << StartPlace.problem;
    EXPECT_FALSE(Run(""));
    EXPECT_EQ(dialogs.Lines(), std::vector<std::string>{"File Open Error: Couldn't open file tarnix.ini"});
    EXPECT_FALSE(FileExists(dir.File("lastsel.dat")));
}

}  // namespace
