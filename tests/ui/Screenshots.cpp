// flashloader-screenshots: renders every window of the program headless, as
// it stands on a simulated modem, into PNG files for the documentation.
//
//   QT_QPA_PLATFORM=offscreen flashloader-screenshots OUTPUT_DIRECTORY

#include "app/AppState.h"
#include "app/LastSelection.h"
#include "app/ProductTexts.h"
#include "base/Text.h"
#include "ports/platform/DeviceSource.h"
#include "tests/support/ModemSim.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UiSteps.h"
#include "app/LoaderApp.h"
#include "ui/qt/CAboutBox.h"
#include "ui/qt/CBitmapButton.h"
#include "ui/qt/CConfirmDlg.h"
#include "ui/qt/CFlashWizard.h"
#include "ui/qt/CSearchNotice.h"
#include "ui/qt/QtUserInterface.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class NoDevices : public DeviceSource {
public:
    bool ListDevices(std::vector<SerialDevice>& devices) override
    {
        devices.clear();
        return true;
    }
};

QString output;

void Save(QWidget* window, const char* name)
{
    QString path = output + "/" + name;
    if (!window->grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path)), std::fflush(stdout);
}

void Click(QWidget* window, int id)
{
    if (auto* confirm = dynamic_cast<CConfirmDlg*>(window))
        QTest::mouseClick(confirm->Control(id), Qt::LeftButton);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: flashloader-screenshots OUTPUT_DIRECTORY\n");
        return 2;
    }
    output = QString::fromLocal8Bit(argv[1]);

    ScopedTempDir dir;
    std::string ports = dir.File("ports");
    ::mkdir(ports.c_str(), 0755);
    ::setenv("FLASHLOADER_PORTS", ports.c_str(), 1);
    // One modem, one port without a modem, one simulator that has gone.
    ModemSimProcess modem;
    if (!modem.Start({"--port", "COM1", "--pace", "115200"})) {
        std::fprintf(stderr, "modemsim did not start\n");
        return 1;
    }
    if (::symlink("/dev/null", (ports + "/COM2").c_str()) != 0 ||
        ::symlink("/dev/pts/4242", (ports + "/COM3").c_str()) != 0) {
        std::fprintf(stderr, "the port directory could not be filled\n");
        return 1;
    }
    WriteFileBytes(dir.File("MODEM.HEX"), ReadFileBytes(FL_SOURCE_DIR "/resources/demo/MODEM.HEX"));
    WriteFileBytes(dir.File("OTHER.HEX"), ReadFileBytes(FL_SOURCE_DIR "/resources/demo/MODEM.HEX"));

    ProductTexts = {"Modem Flash Loader", "5.0.0", "Kestrolan Technologies", "Firmware for the modems you build"};
    StartDirectory = dir.Path();
    FlashSelection.BaudRate = 115200;
    SetField(FlashSelection.PortName, "COM1");
    SetField(FlashSelection.HexFilePath, dir.File("MODEM.HEX"));

    {
        CSearchNotice notice(nullptr);
        notice.SetText(" COM1 COM2 COM3");
        Save(&notice, "search-notice.png");
    }

    ScriptedDialogs dialogs;
    NoDevices devices;
    QtUserInterface ui(dialogs, &devices);
    UiSteps steps;
    const QString welcome = "Modem Flash Loader - Welcome";
    const QString portPage = "Modem Flash Loader - COM Port Options";
    const QString pathPage = "Modem Flash Loader - Loading File Path";
    const QString confirm = "Modem Flash Loader - Input Confirmation";
    auto wizard = [] { return dynamic_cast<CFlashWizard*>(QApplication::activeModalWidget()); };

    steps.When([&] { return UiSteps::Modal(welcome); },
               [&] {
        Save(wizard(), "wizard-welcome.png");
        QTest::mouseClick(wizard()->m_pageWelcome.m_btnAbout, Qt::LeftButton);
    });
    steps.When([&] { return UiSteps::Modal("About"); },
               [&] {
        Save(QApplication::activeModalWidget(), "about.png");
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
    });
    steps.When([&] { return UiSteps::Modal(welcome); }, [&] { wizard()->NextButton()->click(); });
    steps.When([&] { return UiSteps::Modal(portPage); },
               [&] {
        Save(wizard(), "wizard-ports.png");
        wizard()->NextButton()->click();
    });
    steps.When([&] { return UiSteps::Modal(pathPage); },
               [&] {
        Save(wizard(), "wizard-path.png");
        wizard()->FinishButton()->click();
    });
    steps.When([&] { return UiSteps::Modal(confirm); },
               [&] {
        Save(QApplication::activeModalWidget(), "confirm-ready.png");
        Click(QApplication::activeModalWidget(), IDC_CONFIRM_PERFORM);
    });
    auto confirmed = [] { return dynamic_cast<CConfirmDlg*>(QApplication::activeModalWidget()); };
    steps.When([&] { return confirmed() && confirmed()->State() == RunState::Succeeded; },
               [&] {
        Save(QApplication::activeModalWidget(), "confirm-succeeded.png");
        Click(QApplication::activeModalWidget(), IDC_CONFIRM_CLOSE);
    });
    CLoaderApp app(ui);
    ui.RunWizard(app);

    // A modem of another type: the mismatch highlighted, then the run refused.
    ModemSimProcess usb;
    if (usb.Start({"--port", "COM4", "--type", "U", "--checksum", "BEEF"})) {
        SetField(FlashSelection.PortName, "COM4");
        CConfirmDlg mismatch(nullptr, dialogs);
        steps.When([&] { return UiSteps::Modal(confirm); },
                   [&] {
            Save(&mismatch, "confirm-mismatch.png");
            Click(&mismatch, IDC_CONFIRM_PERFORM);
        });
        steps.When([&] { return mismatch.State() == RunState::Failed; },
                   [&] {
            Save(&mismatch, "confirm-failed.png");
            Click(&mismatch, IDC_CONFIRM_CLOSE);
        });
        mismatch.DoModal();
    }
    return steps.Done() ? 0 : 1;
}
