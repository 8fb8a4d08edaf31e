#include "app/LoaderApp.h"

#include "app/AppState.h"
#include "app/LastSelection.h"
#include "app/ProductTexts.h"
#include "base/Text.h"
#include "tests/support/AppFixture.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

namespace {

using Events = std::vector<std::string>;

class StartUpTest : public AppFixture {
protected:
    void WithSettings() { WriteFileBytes(dir.File("tarnix.ini"), "[Version]\nVersionString=5.0.1\n"); }

    void WithLastSelection(std::int32_t rate, std::string_view port, std::string_view path)
    {
        FlashSelectionRecord record{};
        record.BaudRate = rate;
        SetField(record.PortName, port);
        SetField(record.HexFilePath, path);
        auto bytes = SelectionToBytes(record);
        WriteFileBytes(dir.File("lastsel.dat"), std::string(bytes.begin(), bytes.end()));
    }

    std::string Stored() { return ReadFileBytes(dir.File("lastsel.dat")); }

    bool Run(std::string_view commandLine)
    {
        CLoaderApp app(ui);
        return app.StartUp(commandLine);
    }

    ScriptedUi ui;
};

std::string Port() { return std::string(FieldText(FlashSelection.PortName)); }
std::string Path() { return std::string(FieldText(FlashSelection.HexFilePath)); }

TEST_F(StartUpTest, MissingSettingsFileShowsOnlyTheErrorBoxAndStoresNothing)
{
    WithLastSelection(19200, "COM1", "/old.hex");
    std::string before = Stored();
    EXPECT_FALSE(Run(""));
    EXPECT_EQ(ui.events, Events{"message"});
    EXPECT_EQ(ui.messages[0].caption, "File Open Error");
    EXPECT_EQ(Stored(), before);
}

TEST_F(StartUpTest, MissingSettingsFileWithoutLastSelectionWritesNoFile)
{
    EXPECT_FALSE(Run("dev"));
    EXPECT_FALSE(FileExists(dir.File("lastsel.dat")));
}

TEST_F(StartUpTest, PlainStartWithoutLastSelectionRunsTheWizardAndStoresTheDefaults)
{
    WithSettings();
    ui.onWizard = [] {
        EXPECT_EQ(FlashSelection.BaudRate, 57600);
        EXPECT_EQ(Port(), "");
    };
    EXPECT_FALSE(Run(""));
    EXPECT_EQ(ui.events, Events{"wizard"});
    EXPECT_EQ(ProductTexts.VersionString, "5.0.1");

    ResetProgramState();
    LoadLastSelection();
    EXPECT_EQ(FlashSelection.BaudRate, 57600);
    EXPECT_EQ(Path(), dir.File("MODEM.HEX"));
}

TEST_F(StartUpTest, DeveloperModeEndsTheProgramWhenConfirmationReturnsOk)
{
    WithSettings();
    WithLastSelection(115200, "COM2", "/fw/MODEM.HEX");
    std::string before = Stored();
    ui.confirmResult = IDOK;
    ui.onConfirm = [] { EXPECT_EQ(Port(), "COM2"); };
    EXPECT_FALSE(Run("/dev"));
    EXPECT_EQ(ui.events, Events{"confirm"});
    EXPECT_EQ(Stored(), before);
}

TEST_F(StartUpTest, DeveloperModeGoesOnToTheWizardOnAnyOtherResult)
{
    WithSettings();
    WithLastSelection(115200, "COM2", "/fw/MODEM.HEX");
    ui.confirmResult = IDCANCEL;
    EXPECT_FALSE(Run("Dev"));
    EXPECT_EQ(ui.events, (Events{"confirm", "wizard"}));
    EXPECT_TRUE(FileExists(dir.File("lastsel.dat")));
}

TEST_F(StartUpTest, DeveloperModeWithoutACompleteRecordOpensTheWizardFirst)
{
    WithSettings();
    WriteFileBytes(dir.File("lastsel.dat"), "short");
    EXPECT_FALSE(Run("dev"));
    EXPECT_EQ(ui.events, Events{"wizard"});
}

TEST_F(StartUpTest, PreSelectedStartIgnoresTheLastSelectionAndStoresTheCommandLine)
{
    WithSettings();
    WithLastSelection(9600, "COM8", "/last.hex");
    ui.onWizard = [] {
        EXPECT_EQ(Port(), "COM2");
        EXPECT_EQ(FlashSelection.BaudRate, 115200);
    };
    EXPECT_FALSE(Run("COM2 115200 /fw/MODEM.HEX"));  // the wizard is cancelled at once
    EXPECT_EQ(ui.events, Events{"wizard"});

    ResetProgramState();
    LoadLastSelection();
    EXPECT_EQ(Port(), "COM2");
    EXPECT_EQ(FlashSelection.BaudRate, 115200);
    EXPECT_EQ(Path(), "/fw/MODEM.HEX");
}

TEST_F(StartUpTest, WizardChoicesAreStoredInTheStartDirectoryAfterTheCurrentOneMoved)
{
    WithSettings();
    ScopedTempDir browsed;
    ui.onWizard = [&browsed] {
        SetField(FlashSelection.PortName, "COM3");
        SetField(FlashSelection.HexFilePath, "/new.hex");
        EXPECT_EQ(::chdir(browsed.Path().c_str()), 0);  // as a file dialog may do
    };
    Run("");
    EXPECT_FALSE(FileExists(browsed.File("lastsel.dat")));
    ScopedChdir back(dir.Path());
    ResetProgramState();
    LoadLastSelection();
    EXPECT_EQ(Port(), "COM3");
    EXPECT_EQ(Path(), "/new.hex");
}

TEST_F(StartUpTest, OverlongTokenIsReportedAndTheStartGoesOnAsAPlainOne)
{
    WithSettings();
    WithLastSelection(38400, "COM4", "/last.hex");
    ui.onWizard = [] { EXPECT_EQ(Port(), "COM4"); };
    Run("COM1234 57600 x.hex");
    ASSERT_EQ(ui.events, (Events{"message", "wizard"}));
    EXPECT_EQ(ui.messages[0].caption, kApplicationName);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
    EXPECT_NE(ui.messages[0].text.find("COM1234"), std::string::npos);
}

}  // namespace
