// flashloader.exe: the wizard that finds a supported modem and flashes it.

#include "app/CommandLine.h"
#include "app/LoaderApp.h"
#include "base/ProcessSetup.h"
#include "base/Version.h"
#include "ui/rules/WizardRules.h"
#include "ui/win32/WinUserInterface.h"
#include "ui/win32/WinWindows.h"

#include <windows.h>

#include <commctrl.h>

namespace {

// A program of the window subsystem has no console to print to: the answer
// to --version or --help is a box, its lines broken where the box breaks
// them.
void ShowAnswer(const std::string& text)
{
    ShowMessageBox(nullptr, kProductDisplayName, BoxText(text), MsgIcon::Information, MsgButtons::Ok);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    PrepareProcess();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    // The whole command line, as the system keeps it: the program's name
    // goes, and the rest is the program's own.
    std::string argumentText = CommandTail(::GetCommandLineA());
    // Answered before anything of a run: no settings read, no selection
    // stored.
    switch (ClassifyStartRequest(argumentText)) {
    case StartRequest::Version:
        ShowAnswer(WizardVersionText());
        return 0;
    case StartRequest::Help:
        ShowAnswer(WizardHelpText());
        return 0;
    case StartRequest::FromMenu:
        // The installer's shortcut names the start folder itself: a plain
        // start there.
        argumentText.clear();
        break;
    case StartRequest::Run:
        break;
    }
    WinUserInterface ui;
    CLoaderApp app(ui);
    app.StartUp(argumentText);
    return 0;
}
