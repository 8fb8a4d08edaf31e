#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "base/Text.h"
#include "tests/support/AppFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/UiSteps.h"
#include "ui/qt/QtUserInterface.h"

#include <QTest>
#include <gtest/gtest.h>

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

}  // namespace
