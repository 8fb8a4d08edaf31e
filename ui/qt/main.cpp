// flashloader: the wizard that finds a supported modem and flashes it.

#include "app/CommandLine.h"
#include "app/LoaderApp.h"
#include "app/MenuStart.h"
#include "base/ProcessSetup.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/QtUserInterface.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    PrepareProcess();
    // The command line is the program's own, all of it: it is read before
    // the toolkit sees it, and the toolkit gets none of it, so that a path
    // or a token that looks like one of its options (-style, -reverse) is
    // neither taken away nor acted on.
    std::string argumentText = ArgumentText(argc, argv);
    // Answered before the toolkit starts, so that they need no display.
    switch (ClassifyStartRequest(argumentText)) {
    case StartRequest::Version:
        std::fputs(WizardVersionText().c_str(), stdout);
        return StatusAfterOutput(0, "flashloader");
    case StartRequest::Help:
        std::fputs(WizardHelpText().c_str(), stdout);
        return StatusAfterOutput(0, "flashloader");
    case StartRequest::FromMenu:
        // Into the user's own start directory before anything of the start
        // looks at the current one; then a plain start there.
        StartFromMenu();
        argumentText.clear();
        break;
    case StartRequest::Run:
        break;
    }
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
