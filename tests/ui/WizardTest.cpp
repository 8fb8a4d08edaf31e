// The real windows, headless, against simulated modems registered in a
// temporary port directory.

#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "app/ProductTexts.h"
#include "base/Text.h"
#include "ports/PortTable.h"
#include "ports/platform/DeviceSource.h"
#include "resources/StringTable.h"
#include "tests/support/AppFixture.h"
#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/UiSteps.h"
#include "ui/qt/CBitmapButton.h"
#include "ui/qt/CConfirmDlg.h"
#include "ui/qt/CFlashWizard.h"
#include "ui/qt/CMyCheckListBox.h"
#include "ui/qt/CSearchNotice.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/rules/WizardRules.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kWelcome = "Modem Flash Loader - Welcome";
const QString kPorts = "Modem Flash Loader - COM Port Options";
const QString kPath = "Modem Flash Loader - Loading File Path";
const QString kConfirm = "Modem Flash Loader - Input Confirmation";

// The device registry: empty unless a test lists devices.
class TestDevices : public DeviceSource {
public:
    bool ListDevices(std::vector<SerialDevice>& devices) override
    {
        devices = listed;
        return true;
    }
    std::vector<SerialDevice> listed;
};

CFlashWizard* Wizard() { return dynamic_cast<CFlashWizard*>(QApplication::activeModalWidget()); }
CConfirmDlg* Confirm() { return dynamic_cast<CConfirmDlg*>(QApplication::activeModalWidget()); }
QString Text(QWidget* control) { return static_cast<QLabel*>(control)->text(); }

class WizardTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        ports = dir.File("ports");
        ::mkdir(ports.c_str(), 0755);
        ::setenv("FLASHLOADER_PORTS", ports.c_str(), 1);
        WriteFileBytes(dir.File("tarnix.ini"), "[Version]\nVersionString=5.0.0\n");
        WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({}));
    }
    void TearDown() override
    {
        ::unsetenv("FLASHLOADER_PORTS");
        AppFixture::TearDown();
    }

    void StartModem(ModemSimProcess& sim, const std::string& port, std::vector<std::string> args = {})
    {
        args.insert(args.end(), {"--port", port, "--flash-out", dir.File(port + ".hex")});
        ASSERT_TRUE(sim.Start(args, {"FLASHLOADER_PORTS=" + ports}));
    }
    void Register(const std::string& name, const std::string& target)
    {
        ASSERT_EQ(::symlink(target.c_str(), (ports + "/" + name).c_str()), 0);
    }
    void Run(const std::string& commandLine = "")
    {
        QtUserInterface ui(dialogs, &devices);
        CLoaderApp app(ui);
        app.StartUp(commandLine);
        EXPECT_TRUE(steps.Done()) << "the windows did not come as expected";
    }
    void Next() { Wizard()->NextButton()->click(); }

    std::string ports;
    ScriptedDialogs dialogs;
    TestDevices devices;
    UiSteps steps;
};

TEST_F(WizardTest, PagesOfferTheirButtonsAndThePortsAreScannedOnce)
{
    ModemSimProcess modem;
    StartModem(modem, "COM1");
    Register("COM2", "/dev/pts/4242");

    steps.When([] { return UiSteps::Modal(kWelcome); },
               [] {
        CFlashWizard* w = Wizard();
        EXPECT_EQ(w->WizardButtons(), unsigned{PSWIZB_NEXT});
        EXPECT_FALSE(w->BackButton()->isEnabled());
        EXPECT_TRUE(w->NextButton()->isVisible() && w->NextButton()->isEnabled());
        EXPECT_FALSE(w->FinishButton()->isVisible());
        EXPECT_FALSE(w->m_pageWelcome.Control(IDC_WELCOME_END_USER)->isVisible());
        EXPECT_FALSE(w->m_pageWelcome.Control(IDC_WELCOME_DEVELOPER)->isVisible());
        EXPECT_FALSE(w->m_pageWelcome.Control(IDC_WELCOME_QUESTION)->isVisible());
        w->NextButton()->click();
    });
    steps.When([] { return UiSteps::Modal(kPorts); },
               [] {
        CFlashWizard* w = Wizard();
        EXPECT_EQ(w->WizardButtons(), unsigned{PSWIZB_BACK | PSWIZB_NEXT});
        auto* list = static_cast<CMyCheckListBox*>(w->m_pagePort.Control(IDC_PORT_LIST));
        EXPECT_EQ(list->count(), 2);
        EXPECT_EQ(w->m_pagePort.SelectedRow(), 0);
        EXPECT_EQ(static_cast<QComboBox*>(w->m_pagePort.Control(IDC_PORT_BAUD))->currentText(), "57600");
        PortTable[1].identification = "left by the first scan";
        w->NextButton()->click();
    });
    steps.When([] { return UiSteps::Modal(kPath); },
               [this] {
        CFlashWizard* w = Wizard();
        auto* edit = static_cast<QLineEdit*>(w->m_pagePath.Control(IDC_PATH_EDIT));
        EXPECT_EQ(edit->text().toStdString(), dir.File("MODEM.HEX"));
        EXPECT_EQ(w->WizardButtons(), unsigned{PSWIZB_BACK | PSWIZB_FINISH});
        edit->setText("/firmware/image.bin");
        EXPECT_EQ(w->WizardButtons(), unsigned{PSWIZB_BACK | PSWIZB_DISABLEDFINISH});
        EXPECT_TRUE(w->FinishButton()->isVisible());
        EXPECT_FALSE(w->FinishButton()->isEnabled());
        edit->setText("/hexes/image.bin");  // "hex" anywhere will do
        EXPECT_EQ(w->WizardButtons(), unsigned{PSWIZB_BACK | PSWIZB_FINISH});
        edit->setText("");
        EXPECT_FALSE(w->FinishButton()->isEnabled());

        dialogs.files = {dir.File("MODEM.HEX")};
        edit->setText(QString::fromStdString(dir.File("old/x.hex")));
        static_cast<QPushButton*>(w->m_pagePath.Control(IDC_PATH_BROWSE))->click();
        EXPECT_EQ(dialogs.requests.back().initialDirectory, dir.File("old/"));
        EXPECT_EQ(dialogs.requests.back().initialName, "*.hex");
        EXPECT_EQ(edit->text().toStdString(), dir.File("MODEM.HEX"));

        edit->setText("image.bin");
        w->BackButton()->click();
    });
    steps.When([] { return UiSteps::Modal(kPorts); },
               [] {
        EXPECT_EQ(PortTable[1].identification, "left by the first scan");  // no second scan
        Wizard()->NextButton()->click();
    });
    steps.When([] { return UiSteps::Modal(kPath); },
               [] {
        CFlashWizard* w = Wizard();
        EXPECT_EQ(static_cast<QLineEdit*>(w->m_pagePath.Control(IDC_PATH_EDIT))->text(), "image.bin");
        EXPECT_TRUE(w->FinishButton()->isEnabled());  // on arrival, whatever the text
        w->CancelButton()->click();
    });
    Run();
}

TEST_F(WizardTest, FinishWithAMissingFileStaysAndTheChoicesAreStoredAfterCancel)
{
    ModemSimProcess modem;
    StartModem(modem, "COM1");
    steps.When([] { return UiSteps::Modal(kWelcome); }, [] { Wizard()->NextButton()->click(); });
    steps.When([] { return UiSteps::Modal(kPorts); },
               [] {
        static_cast<QComboBox*>(Wizard()->m_pagePort.Control(IDC_PORT_BAUD))->setCurrentIndex(4);
        Wizard()->NextButton()->click();
    });
    steps.When([] { return UiSteps::Modal(kPath); },
               [this] {
        auto* edit = static_cast<QLineEdit*>(Wizard()->m_pagePath.Control(IDC_PATH_EDIT));
        edit->setText(QString::fromStdString(std::string(123, 'x') + ".hex"));
        Wizard()->FinishButton()->click();
        EXPECT_NE(dialogs.messages.back().Line().find("at most 122 fit"), std::string::npos)
            << dialogs.messages.back().Line();
        // A folder opens for reading too, but is no file; a FIFO would
        // hold the wizard for ever if it were opened to be read.
        const std::string folder = dir.File("FIRMWARE.HEX");
        ::mkdir(folder.c_str(), 0755);
        const std::string fifo = dir.File("PIPE.HEX");
        ::mkfifo(fifo.c_str(), 0600);
        for (auto [path, kind] : {std::pair{folder, "a directory"}, std::pair{fifo, "a FIFO"}}) {
            edit->setText(QString::fromStdString(path));
            Wizard()->FinishButton()->click();
            EXPECT_EQ(dialogs.messages.back().Line(),
                      "Modem Flash Loader: File " + path + " could not be opened: it is " + kind + ", not a file");
        }
        edit->setText("/no/such/MODEM.HEX");
        Wizard()->FinishButton()->click();
        EXPECT_EQ(dialogs.messages.back().Line(), "Modem Flash Loader: File /no/such/MODEM.HEX could not be opened");
        EXPECT_EQ(dialogs.messages.back().icon, MsgIcon::Stop);
        EXPECT_TRUE(UiSteps::Modal(kPath));
        // Return on Cancel cancels; it does not press Finish.
        const std::size_t shown = dialogs.messages.size();
        Wizard()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Wizard()));
        Wizard()->CancelButton()->setFocus();
        QTest::keyClick(Wizard()->CancelButton(), Qt::Key_Return);
        EXPECT_EQ(dialogs.messages.size(), shown);
    });
    Run();
    ResetProgramState();
    LoadLastSelection();
    EXPECT_EQ(std::string(FieldText(FlashSelection.PortName)), "COM1");
    EXPECT_EQ(FlashSelection.BaudRate, 115200);
    EXPECT_EQ(std::string(FieldText(FlashSelection.HexFilePath)), "/no/such/MODEM.HEX");
}

TEST_F(WizardTest, FinishRefusesAPortWithoutAComNameAndSaysHowToReachIt)
{
    WriteFileBytes(dir.File("file"), "");
    ::setenv("FLASHLOADER_PORTS", dir.File("file/ports").c_str(), 1);  // no name can be given
    ModemSimProcess modem;
    ASSERT_TRUE(modem.Start({}));
    const std::string port = modem.DevicePath();
    devices.listed = {{port, "", "KT-56 USB Modem", ""}};
    steps.When([] { return UiSteps::Modal(kWelcome); }, [] { Wizard()->NextButton()->click(); });
    steps.When([] { return UiSteps::Modal(kPorts); },
               [&] {
        EXPECT_EQ(PortTable[Wizard()->m_pagePort.SelectedRow()].portName, port);
        Wizard()->NextButton()->click();
    });
    steps.When([] { return UiSteps::Modal(kPath); },
               [&] {
        Wizard()->FinishButton()->click();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        const std::string& text = dialogs.messages[0].text;
        EXPECT_EQ(text.find(port + " has no COM name"), 0u) << text;
        EXPECT_NE(text.find("flashloader-cli flash --port " + port + " --file " + dir.File("MODEM.HEX")),
                  std::string::npos)
            << text;
        EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Stop);
        EXPECT_TRUE(UiSteps::Modal(kPath));
        Wizard()->CancelButton()->click();
    });
    Run();
}

TEST_F(WizardTest, ChangeInputsGoesBackAndTheWholeRoadFlashesTheModem)
{
    ModemSimProcess modem;
    StartModem(modem, "COM1");
    steps.When([] { return UiSteps::Modal(kWelcome); }, [] { Wizard()->NextButton()->click(); });
    steps.When([] { return UiSteps::Modal(kPorts); }, [] { Wizard()->NextButton()->click(); });
    steps.When([] { return UiSteps::Modal(kPath); }, [] { Wizard()->FinishButton()->click(); });
    steps.When([] { return UiSteps::Modal(kConfirm); },
               [] {
        EXPECT_EQ(Text(Confirm()->Control(IDC_CONFIRM_PORT)), "COM1");
        EXPECT_EQ(Text(Confirm()->Control(IDC_CONFIRM_BAUD)), "57600");
        EXPECT_EQ(Text(Confirm()->Control(IDC_CONFIRM_MODEM_TYPE)), "Serial");
        static_cast<QPushButton*>(Confirm()->Control(IDC_CONFIRM_CHANGE))->click();  // Change Inputs
    });
    steps.When([] { return UiSteps::Modal(kPath); }, [] { Wizard()->BackButton()->click(); });
    steps.When([] { return UiSteps::Modal(kPorts); },
               [] {
        EXPECT_EQ(Wizard()->m_pagePort.SelectedRow(), 0);
        Wizard()->NextButton()->click();
    });
    steps.When([] { return UiSteps::Modal(kPath); }, [] { Wizard()->FinishButton()->click(); });
    steps.When([] { return UiSteps::Modal(kConfirm); },
               [] {
        static_cast<QPushButton*>(Confirm()->Control(IDC_CONFIRM_PERFORM))->click();  // Perform Loading
    });
    steps.When([] { return Confirm() && Confirm()->State() == RunState::Succeeded; },
               [] {
        CConfirmDlg* c = Confirm();
        EXPECT_EQ(c->windowTitle(), "Modem Flash Loader - Loading...");
        EXPECT_FALSE(c->Control(IDC_CONFIRM_PERFORM)->isVisible());
        EXPECT_FALSE(c->Control(IDC_CONFIRM_CHANGE)->isVisible());
        EXPECT_TRUE(c->Control(IDC_CONFIRM_CLOSE)->isVisible() && c->Control(IDC_CONFIRM_CLOSE)->isEnabled());
        EXPECT_TRUE(c->Control(IDC_CONFIRM_PROGRESS)->isVisible());
        EXPECT_EQ(static_cast<QProgressBar*>(c->Control(IDC_CONFIRM_PROGRESS))->value(), 100);
        EXPECT_EQ(Text(c->Control(IDC_CONFIRM_PERCENT)), "100%");
        EXPECT_TRUE(Text(c->Control(IDC_CONFIRM_PROGRESS_CAPTION)).startsWith("Done in "));
        EXPECT_EQ(Text(c->Control(IDC_CONFIRM_STATUS)).toStdString(), LoadResString(IDS_SUCCESS));
        QTest::keyClick(c, Qt::Key_Escape);  // after a run only Close ends the window
        EXPECT_EQ(Confirm(), c);
        static_cast<QPushButton*>(c->Control(IDC_CONFIRM_CLOSE))->click();
    });
    Run();
    modem.Stop();
    EXPECT_EQ(HexMemory(ReadFileBytes(dir.File("COM1.hex"))), HexMemory(ReadFileBytes(dir.File("MODEM.HEX"))));
    EXPECT_TRUE(FileExists(dir.File("lastsel.dat")));
}

// Return presses the focused push button, and the default one when the
// focus is anywhere else (the ABOUT picture and the list included).
TEST_F(WizardTest, ReturnPressesTheFocusedPushButtonElseTheDefaultOne)
{
    ModemSimProcess modem;
    StartModem(modem, "COM1");
    auto pressReturn = [](QWidget* focus) {
        // The scan's notice took the activation with it when it went.
        focus->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(focus->window()));
        focus->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), focus);
        QTest::keyClick(focus, Qt::Key_Return);
    };
    steps.When([] { return UiSteps::Modal(kWelcome); }, [&] { pressReturn(Wizard()->m_pageWelcome.m_btnAbout); });
    steps.When([] { return UiSteps::Modal(kPorts); }, [&] { pressReturn(Wizard()->BackButton()); });
    steps.When([] { return UiSteps::Modal(kWelcome); }, [&] { pressReturn(Wizard()->NextButton()); });
    steps.When([] { return UiSteps::Modal(kPorts); },
               [&] { pressReturn(Wizard()->m_pagePort.Control(IDC_PORT_LIST)); });
    steps.When([] { return UiSteps::Modal(kPath); }, [&] { pressReturn(Wizard()->m_pagePath.Control(IDC_PATH_EDIT)); });
    // The window gives its first focus when it becomes the active one,
    // which the window system may tell a little after it is shown (on a
    // busy machine, after the wizard's own activation has come late).
    steps.When([] { return UiSteps::Modal(kConfirm) && Confirm()->isAncestorOf(QApplication::focusWidget()); },
               [&] {
        QWidget* perform = Confirm()->Control(IDC_CONFIRM_PERFORM);
        EXPECT_EQ(QApplication::focusWidget(), perform);
        pressReturn(perform);
    });
    steps.When([] { return Confirm() && Confirm()->State() == RunState::Succeeded; },
               [&] {
        EXPECT_EQ(QApplication::focusWidget(), Confirm()->Control(IDC_CONFIRM_CLOSE));
        pressReturn(Confirm()->Control(IDC_CONFIRM_CLOSE));  // Close
    });
    Run();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].Line();
    modem.Stop();
    EXPECT_EQ(HexMemory(ReadFileBytes(dir.File("COM1.hex"))), HexMemory(ReadFileBytes(dir.File("MODEM.HEX"))));
}

// The notice of a scan belongs to the wizard: above it, not above every
// other program's windows.
TEST_F(WizardTest, SearchNoticeIsOwnedByTheWizard)
{
    ModemSimProcess modem;
    ModemSimProcess silent;  // its probe waits, so that the notice can be seen
    StartModem(modem, "COM1");
    StartModem(silent, "COM2", {"--silent"});
    steps.When([] { return UiSteps::Modal(kWelcome); }, [] { Wizard()->NextButton()->click(); });
    auto notice = [] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->findChild<QLabel*>() != nullptr &&
                window->findChildren<QLabel*>().first()->text() == "Searching for modems...")
                return window;
        return static_cast<QWidget*>(nullptr);
    };
    steps.When([&] { return notice() != nullptr; },
               [&] {
        QWidget* shown = notice();
        EXPECT_FALSE(shown->windowFlags() & Qt::WindowStaysOnTopHint);
        ASSERT_NE(shown->windowHandle(), nullptr);
        EXPECT_EQ(shown->windowHandle()->transientParent(), Wizard()->windowHandle());
    });
    steps.When([] { return UiSteps::Modal(kPorts); }, [] { Wizard()->CancelButton()->click(); });
    Run();
}

// Eight ports tried are wider than the notice: the end, with the port being
// probed, stays in sight; the scan reads the whole text back.
TEST(SearchNoticeTest, LongListShowsItsEndWithinTheNotice)
{
    CSearchNotice notice(nullptr);
    const std::string tried = " COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8";
    notice.SetText(tried);
    EXPECT_EQ(notice.Text(), tried);
    auto* label = notice.findChildren<QLabel*>().last();
    EXPECT_TRUE(label->text().startsWith(QString(QChar(0x2026)))) << label->text().toStdString();
    EXPECT_TRUE(label->text().endsWith("COM7 COM8")) << label->text().toStdString();
    EXPECT_GE(label->geometry().left(), 0);
    EXPECT_LE(label->geometry().right(), notice.width());
    notice.SetText(" COM1");
    EXPECT_EQ(label->text(), " COM1");
}

TEST_F(WizardTest, NoModemEndsTheWizardAfterTheMessage)
{
    Register("COM2", "/dev/pts/4242");
    steps.When([] { return UiSteps::Modal(kWelcome); }, [] { Wizard()->NextButton()->click(); });
    Run();
    EXPECT_EQ(dialogs.Lines(),
              std::vector<std::string>{"Modem Flash Loader: " + std::string(LoadResString(IDS_NO_PORT_AVAILABLE))});
    EXPECT_TRUE(FileExists(dir.File("lastsel.dat")));
}

TEST_F(WizardTest, DeveloperModeEndsTheProgramWhenTheRunIsClosed)
{
    ModemSimProcess modem;
    StartModem(modem, "COM1");
    FlashSelectionRecord record{};
    record.BaudRate = 115200;
    SetField(record.PortName, "COM1");
    SetField(record.HexFilePath, dir.File("MODEM.HEX"));
    auto bytes = SelectionToBytes(record);
    std::string stored(bytes.begin(), bytes.end());
    WriteFileBytes(dir.File("lastsel.dat"), stored);

    steps.When([] { return UiSteps::Modal(kConfirm); },
               [] { static_cast<QPushButton*>(Confirm()->Control(IDC_CONFIRM_PERFORM))->click(); });
    steps.When([] { return Confirm() && Confirm()->State() == RunState::Succeeded; },
               [] { static_cast<QPushButton*>(Confirm()->Control(IDC_CONFIRM_CLOSE))->click(); });
    Run("dev");
    EXPECT_EQ(ReadFileBytes(dir.File("lastsel.dat")), stored);
}

TEST_F(WizardTest, AboutBoxShowsTheProductTexts)
{
    steps.When([] { return UiSteps::Modal(kWelcome); },
               [] { QTest::mouseClick(Wizard()->m_pageWelcome.m_btnAbout, Qt::LeftButton); });
    steps.When([] { return UiSteps::Modal("About"); },
               [] {
        QWidget* about = QApplication::activeModalWidget();
        QStringList texts;
        for (QLabel* label : about->findChildren<QLabel*>())
            texts << label->text();
        EXPECT_TRUE(texts.contains("Flash Loader 5.0.0"));
        EXPECT_EQ(texts.count("<none>"), 2);
        QTest::keyClick(about, Qt::Key_Escape);
    });
    steps.When([] { return UiSteps::Modal(kWelcome); }, [] { Wizard()->CancelButton()->click(); });
    Run();
}

// The confirmation window on its own: highlights and a failed run.
class ConfirmTest : public WizardTest {
protected:
    // The fields that are drawn black on yellow.
    std::set<int> Highlighted(CConfirmDlg& confirm)
    {
        std::set<int> ids;
        for (int id : {IDC_CONFIRM_MODEM_TYPE, IDC_CONFIRM_FILE_TYPE, IDC_CONFIRM_MODEM_SECTOR_SIZE,
                       IDC_CONFIRM_MODEM_CHECKSUM, IDC_CONFIRM_FILE_SECTOR_SIZE, IDC_CONFIRM_FILE_CHECKSUM}) {
            QWidget* field = confirm.Control(id);
            if (field->autoFillBackground() && field->palette().color(QPalette::Window) == QColor(255, 255, 0))
                ids.insert(id);
        }
        return ids;
    }
    std::set<int> HighlightsFor(const std::vector<std::string>& modemArgs)
    {
        ModemSimProcess modem;
        ::unlink((ports + "/COM5").c_str());
        StartModem(modem, "COM5", modemArgs);
        SetField(FlashSelection.PortName, "COM5");
        std::set<int> ids;
        CConfirmDlg confirm(nullptr, dialogs);
        steps.When([] { return UiSteps::Modal(kConfirm); },
                   [&] {
            ids = Highlighted(confirm);
            static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_CHANGE))->click();
        });
        EXPECT_EQ(confirm.DoModal(), IDCANCEL);
        return ids;
    }
    void SetUp() override
    {
        WizardTest::SetUp();
        FlashSelection.BaudRate = 57600;
        SetField(FlashSelection.HexFilePath, dir.File("MODEM.HEX"));
    }
};

TEST_F(ConfirmTest, EachMismatchHighlightsItsTwoFields)
{
    EXPECT_EQ(HighlightsFor({}), std::set<int>{});
    EXPECT_EQ(HighlightsFor({"--type", "U"}), (std::set<int>{IDC_CONFIRM_MODEM_TYPE, IDC_CONFIRM_FILE_TYPE}));
    EXPECT_EQ(HighlightsFor({"--checksum", "BEEF"}),
              (std::set<int>{IDC_CONFIRM_MODEM_CHECKSUM, IDC_CONFIRM_FILE_CHECKSUM}));
    EXPECT_EQ(HighlightsFor({"--sector", "16"}),
              (std::set<int>{IDC_CONFIRM_MODEM_SECTOR_SIZE, IDC_CONFIRM_FILE_SECTOR_SIZE}));
    EXPECT_EQ(HighlightsFor({"--sector", "none"}), std::set<int>{});  // unknown size: nothing to compare
}

TEST_F(ConfirmTest, FailedRunLeavesOnlyClose)
{
    ModemSimProcess modem;
    StartModem(modem, "COM5", {"--type", "P"});
    SetField(FlashSelection.PortName, "COM5");
    CConfirmDlg confirm(nullptr, dialogs);
    steps.When([] { return UiSteps::Modal(kConfirm); },
               [&] { static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_PERFORM))->click(); });
    steps.When([&] { return confirm.State() == RunState::Failed; },
               [&] {
        EXPECT_TRUE(Text(confirm.Control(IDC_CONFIRM_STATUS))
                        .startsWith("The modem and the loader are incompatable in their types. \n"));
        EXPECT_FALSE(confirm.Control(IDC_CONFIRM_PROGRESS)->isVisible());
        EXPECT_EQ(Text(confirm.Control(IDC_CONFIRM_PERCENT)), " ");
        EXPECT_EQ(Text(confirm.Control(IDC_CONFIRM_PROGRESS_CAPTION)), " ");
        EXPECT_TRUE(confirm.Control(IDC_CONFIRM_CLOSE)->isEnabled());
        EXPECT_FALSE(confirm.Control(IDC_CONFIRM_PERFORM)->isVisible());
        EXPECT_FALSE(confirm.Control(IDC_CONFIRM_FILE_PROBLEM)->isVisible());
        static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_CLOSE))->click();
    });
    EXPECT_EQ(confirm.DoModal(), IDOK);
}

TEST_F(ConfirmTest, FailureShowsTheRunsReasonWithTheFilesFaultOnHovering)
{
    std::string image = MakeImage({});
    image[image.find("\r\n", image.find("\r\n") + 2) + 14] ^= 1;  // line 3 no longer fits its checksum
    WriteFileBytes(dir.File("MODEM.HEX"), image);
    ModemSimProcess modem;
    StartModem(modem, "COM5", {});
    SetField(FlashSelection.PortName, "COM5");
    CConfirmDlg confirm(nullptr, dialogs);
    steps.When([] { return UiSteps::Modal(kConfirm); },
               [&] { static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_PERFORM))->click(); });
    steps.When([&] { return confirm.State() == RunState::Failed; },
               [&] {
        EXPECT_EQ(Text(confirm.Control(IDC_CONFIRM_STATUS)).toStdString(),
                  std::string(LoadResString(IDS_IMAGE_DOWNLOAD_FAILED)) + "\n" + LoadResString(IDS_FAILED_TRY_AGAIN));
        EXPECT_TRUE(confirm.Control(IDC_CONFIRM_STATUS)->toolTip().contains(QStringLiteral("line 3: wrong checksum")))
            << confirm.Control(IDC_CONFIRM_STATUS)->toolTip().toStdString();
        EXPECT_FALSE(confirm.Control(IDC_CONFIRM_FILE_PROBLEM)->isVisible());  // the file the person chose
        static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_CLOSE))->click();
    });
    EXPECT_EQ(confirm.DoModal(), IDOK);
}

// A complete load (the checksums differ) with no loader file in the start
// folder: the status is the run's own, and under it, in the bar's place,
// the window says where the file was looked for and where it comes from.
TEST_F(ConfirmTest, MissingLoaderFileIsSaidInSightUnderTheStatus)
{
    StartDirectory = dir.Path();
    ModemSimProcess modem;
    StartModem(modem, "COM5", {"--checksum", "BEEF"});
    SetField(FlashSelection.PortName, "COM5");
    CConfirmDlg confirm(nullptr, dialogs);
    auto* problem = static_cast<QLabel*>(confirm.Control(IDC_CONFIRM_FILE_PROBLEM));
    steps.When([] { return UiSteps::Modal(kConfirm); },
               [&] {
        EXPECT_FALSE(problem->isVisible());
        static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_PERFORM))->click();
    });
    steps.When([&] { return confirm.State() == RunState::Failed; },
               [&] {
        EXPECT_EQ(Text(confirm.Control(IDC_CONFIRM_STATUS)).toStdString(),
                  std::string(LoadResString(IDS_LOADER_DOWNLOAD_FAILED)) + "\n" + LoadResString(IDS_FAILED_TRY_AGAIN));
        EXPECT_TRUE(problem->isVisible());
        EXPECT_EQ(problem->text().toStdString(),
                  "FLASHLDR.HEX was looked for in " + dir.Path() +
                      " and is not there. It comes with the modem's firmware: put it in that folder, then try again.");
        EXPECT_LE(problem->heightForWidth(problem->width()), problem->height()) << "the text is cut";
        EXPECT_FALSE(confirm.Control(IDC_CONFIRM_PERCENT)->isVisible());
        EXPECT_FALSE(confirm.Control(IDC_CONFIRM_PROGRESS_CAPTION)->isVisible());
        static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_CLOSE))->click();
    });
    EXPECT_EQ(confirm.DoModal(), IDOK);
}

// While the modem erases its flash before the first answer, the bar runs
// as busy; from the first acknowledgement on it shows the percentage.
TEST_F(ConfirmTest, BarIsBusyUntilTheFirstLineIsAcknowledged)
{
    ModemSimProcess modem;
    StartModem(modem, "COM5", {"--slow-first-line", "1"});
    SetField(FlashSelection.PortName, "COM5");
    QtUserInterface ui(dialogs, &devices);  // keeps the windows alive while the modem is waited for
    CConfirmDlg confirm(nullptr, dialogs);
    auto* bar = static_cast<QProgressBar*>(confirm.Control(IDC_CONFIRM_PROGRESS));
    // Started from the event queue, not from the step's timer, so that the
    // next step is polled while the run waits.
    steps.When([] { return UiSteps::Modal(kConfirm); },
               [&] { QMetaObject::invokeMethod(confirm.Control(IDC_CONFIRM_PERFORM), "click", Qt::QueuedConnection); });
    steps.When([&] { return confirm.State() == RunState::Running && bar->maximum() == 0; },
               [&] { EXPECT_TRUE(bar->isVisible()); });
    steps.When([&] { return confirm.State() == RunState::Succeeded; },
               [&] {
        EXPECT_EQ(bar->maximum(), 100);
        EXPECT_EQ(bar->value(), 100);
        static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_CLOSE))->click();
    });
    EXPECT_EQ(confirm.DoModal(), IDOK);
}

// A path longer than the row keeps its file name in view.
TEST_F(ConfirmTest, LongPathIsCutInTheMiddleWithTheWholePathOnHovering)
{
    std::string folder = dir.File(std::string(70, 'f'));
    ::mkdir(folder.c_str(), 0755);
    std::string path = folder + "/" + std::string(20, 'g') + "-MODEM.HEX";
    ASSERT_LE(path.size(), kMaxHexFilePathLength);
    WriteFileBytes(path, MakeImage({}));
    SetField(FlashSelection.HexFilePath, path);
    ModemSimProcess modem;
    StartModem(modem, "COM5");
    SetField(FlashSelection.PortName, "COM5");
    CConfirmDlg confirm(nullptr, dialogs);
    steps.When([] { return UiSteps::Modal(kConfirm); },
               [&] {
        QWidget* row = confirm.Control(IDC_CONFIRM_PATH);
        QString shown = Text(row);
        EXPECT_TRUE(shown.endsWith("-MODEM.HEX")) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
        EXPECT_LE(row->geometry().right(), confirm.width());
        EXPECT_LE(row->fontMetrics().horizontalAdvance(shown), row->width());
        EXPECT_EQ(row->toolTip().toStdString(), path);
        static_cast<QPushButton*>(confirm.Control(IDC_CONFIRM_CHANGE))->click();
    });
    EXPECT_EQ(confirm.DoModal(), IDCANCEL);
}

TEST_F(ConfirmTest, CheckThatFailsEndsTheWindowBeforeItIsShown)
{
    SetField(FlashSelection.PortName, "COM6");  // nothing there
    CConfirmDlg confirm(nullptr, dialogs);
    EXPECT_EQ(confirm.DoModal(), IDCANCEL);
    EXPECT_EQ(dialogs.Lines(), std::vector<std::string>{"Error: " + std::string(LoadResString(IDS_PORT_OPEN_FAILED))});
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Question);
}

// The port list drawn: order, heights and colours on the rendered image.
class PortListTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (PortEntry& row : PortTable)
            row = PortEntry{};
    }
};

TEST_F(PortListTest, ModemRowsAreTwoLinesHighAndGreyRowsAreNeverHighlighted)
{
    PortTable[0] = {"", "COM2", "COM2 -- grey port", 0};
    PortTable[1] = {"KT-56 Bench", "COM1", "com1 -- the modem", 1};
    PortTable[2] = {"", "COM3", "COM10 -- another grey port", 0};
    CMyCheckListBox list;
    list.resize(300, 200);
    for (int row = 0; row < 3; ++row)
        list.AddString(QString::fromStdString(PortTable[row].displayText), row);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(0)->text(), "com1 -- the modem");  // without regard to case
    EXPECT_EQ(list.item(1)->text(), "COM10 -- another grey port");
    EXPECT_EQ(list.GetItemData(2), 0);
    int line = list.fontMetrics().height();
    EXPECT_EQ(list.MeasureItem(0), 2 * line);
    EXPECT_EQ(list.MeasureItem(1), line);

    list.show();
    auto colours = [&](int index) {
        QImage image = list.viewport()->grab().toImage();
        QRect rect = list.visualItemRect(list.item(index));
        std::set<QRgb> seen;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x < rect.left() + 150 && x < image.width(); ++x)
                seen.insert(image.pixel(x, y));
        return seen;
    };
    const QRgb highlight = list.palette().color(QPalette::Active, QPalette::Highlight).rgb();
    const QRgb grey = QColor(128, 128, 128).rgb();

    list.SetCurSel(0);
    EXPECT_EQ(list.visualItemRect(list.item(0)).height(), 2 * line);
    EXPECT_TRUE(colours(0).count(highlight));
    EXPECT_FALSE(colours(0).count(grey));
    EXPECT_TRUE(colours(1).count(grey));

    list.SetCurSel(1);  // a grey port: selected, but drawn without highlight
    EXPECT_FALSE(colours(1).count(highlight));
    EXPECT_TRUE(colours(1).count(grey));
    EXPECT_FALSE(colours(0).count(highlight));
}

// The port page fills the list in the rules' order: the list's own sorted
// insertion keeps it, and it is the order that adding in table order gives.
TEST_F(PortListTest, TheRulesOrderIsTheOrderOfTheListsOwnInsertion)
{
    const char* texts[] = {"COM2 -- b", "com1 -- a", "COM1 -- A", "_COM", "COM1 -- a", "COM10", "com1"};
    for (int row = 0; row < 7; ++row)
        PortTable[row] = {"", "COM" + std::to_string(row + 1), texts[row], 0};
    CMyCheckListBox inTableOrder;
    CMyCheckListBox fromRules;
    for (int row = 0; row < 7; ++row)
        inTableOrder.AddString(QString::fromStdString(PortTable[row].displayText), row);
    const std::vector<PortListItem> items = PortListItems();
    ASSERT_EQ(items.size(), 7u);
    for (std::size_t index = 0; index < items.size(); ++index) {
        const int at = fromRules.AddString(QString::fromStdString(items[index].text), items[index].row);
        EXPECT_EQ(at, static_cast<int>(index)) << items[index].text;
        EXPECT_EQ(inTableOrder.GetItemData(at), items[index].row) << items[index].text;
    }
}

// The focus rectangle shows however the focus came, on a grey row as on a
// highlighted one; the scroll bar only when the rows do not fit.
TEST_F(PortListTest, FocusRectangleShowsAfterAClickOnEveryRowAndTheScrollBarOnlyWhenNeeded)
{
    PortTable[0] = {"", "COM2", "COM2 -- grey port", 0};
    PortTable[1] = {"KT-56 Bench", "COM1", "COM1 -- the modem", 1};
    CMyCheckListBox list;
    list.resize(300, 200);
    for (int row = 0; row < 2; ++row)
        list.AddString(QString::fromStdString(PortTable[row].displayText), row);
    list.show();
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
    EXPECT_FALSE(list.verticalScrollBar()->isVisible());

    // The top edge of a row: the dotted frame inverts every other pixel.
    auto topEdge = [&](int index) {
        QImage image = list.viewport()->grab().toImage();
        QRect rect = list.visualItemRect(list.item(index));
        std::set<QRgb> seen;
        for (int x = rect.left(); x < rect.right() && x < image.width(); ++x)
            seen.insert(image.pixel(x, rect.top()));
        return seen;
    };
    const QRgb base = list.palette().color(QPalette::Active, QPalette::Base).rgb();
    const QRgb highlight = list.palette().color(QPalette::Active, QPalette::Highlight).rgb();
    auto inverted = [](QRgb colour) { return qRgb(255 - qRed(colour), 255 - qGreen(colour), 255 - qBlue(colour)); };

    struct Case {
        int index;
        QRgb background;
    } cases[] = {{1, base}, {0, highlight}};  // the grey row sorts after the modem's
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(c.index)).center());
        ASSERT_TRUE(list.hasFocus());
        ASSERT_EQ(list.GetCurSel(), c.index);
        std::set<QRgb> edge = topEdge(c.index);
        EXPECT_TRUE(edge.count(inverted(c.background))) << "no inverted dots";
        EXPECT_TRUE(edge.count(c.background)) << "not dotted";
    }

    for (int row = 2; row < MAX_PORTS; ++row) {
        PortTable[row] = {"KT-56", "COM9", "COM9 -- modem " + std::to_string(row), 1};
        list.AddString(QString::fromStdString(PortTable[row].displayText), row);
    }
    list.resize(300, 60);
    QApplication::processEvents();
    EXPECT_TRUE(list.verticalScrollBar()->isVisible());
}

}  // namespace
