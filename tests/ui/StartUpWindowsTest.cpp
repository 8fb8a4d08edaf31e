#include "app/LoaderApp.h"
#include "app/LastSelection.h"
#include "app/Text.h"
#include "tests/support/AppFixture.h"
#include "tests/support/ModalDriver.h"
#include "ui/QtUserInterface.h"

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class StartUpWindowsTest : public AppFixture {
protected:
    bool Run(std::string_view commandLine)
    {
        QtUserInterface ui;
        CLoaderApp app(ui);
        return app.StartUp(commandLine);
    }

    static void PressEscape(QWidget* window) { QTest::keyClick(window, Qt::Key_Escape); }
};

TEST_F(StartUpWindowsTest, MissingSettingsFileShowsTheErrorBox)
{
    ModalDriver driver;
    std::string text;
    driver.Then([&text](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        text = box->text().toStdString();
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        QTest::keyClick(window, Qt::Key_Return);
    });
    EXPECT_FALSE(Run(""));
    EXPECT_EQ(driver.Titles(), std::vector<std::string>{"File Open Error"});
    EXPECT_EQ(text, "Couldn't open file tarnix.ini");
    EXPECT_FALSE(FileExists(dir.File("lastsel.dat")));
}

TEST_F(StartUpWindowsTest, PlainStartOpensTheWizardWhichEndsOnEscapeAndStoresTheSelection)
{
    WriteFileBytes(dir.File("tarnix.ini"), "");
    ModalDriver driver;
    driver.Then(PressEscape);
    EXPECT_FALSE(Run(""));
    EXPECT_EQ(driver.Titles(), std::vector<std::string>{"Modem Flash Loader - Welcome"});
    EXPECT_EQ(ReadFileBytes(dir.File("lastsel.dat")).size(), kSelectionSize);
}

TEST_F(StartUpWindowsTest, DeveloperModeShowsTheConfirmationWindowFirst)
{
    WriteFileBytes(dir.File("tarnix.ini"), "");
    FlashSelectionRecord record{};
    record.BaudRate = 256000;
    SetField(record.PortName, "COM3");
    SetField(record.HexFilePath, "/fw/MODEM.HEX");
    auto bytes = SelectionToBytes(record);
    WriteFileBytes(dir.File("lastsel.dat"), std::string(bytes.begin(), bytes.end()));

    ModalDriver driver;
    bool showsSelection = false;
    driver.Then([&showsSelection](QWidget* window) {
        QStringList texts;
        for (QLabel* label : window->findChildren<QLabel*>())
            texts << label->text();
        showsSelection = texts.contains("COM3") && texts.contains("256000") && texts.contains("/fw/MODEM.HEX");
        PressEscape(window);
    });
    driver.Then(PressEscape);
    EXPECT_FALSE(Run("dev"));
    EXPECT_EQ(driver.Titles(), (std::vector<std::string>{"Modem Flash Loader - Input Confirmation",
                                                         "Modem Flash Loader - Welcome"}));
    EXPECT_TRUE(showsSelection);
}

} // namespace
