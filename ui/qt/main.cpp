// flashloader: the wizard that finds a supported modem and flashes it.

#include "app/CommandLine.h"
#include "app/LoaderApp.h"
#include "app/ProcessSetup.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/QtUserInterface.h"

#include <QApplication>

int main(int argc, char** argv)
{
    PrepareProcess();
    // The command line is the program's own, all of it: it is read before
    // the toolkit sees it, and the toolkit gets none of it, so that a path
    // or a token that looks like one of its options (-style, -reverse) is
    // neither taken away nor acted on.
    const std::string argumentText = ArgumentText(argc, argv);
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("flashloader"));
    QtDialogs dialogs;
    QtUserInterface ui(dialogs);
    CLoaderApp app(ui);
    app.StartUp(argumentText);
    return 0;
}
