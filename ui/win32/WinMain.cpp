// flashloader.exe: the wizard that finds a supported modem and flashes it.

#include "app/CommandLine.h"
#include "app/LoaderApp.h"
#include "base/ProcessSetup.h"
#include "ui/win32/WinUserInterface.h"

#include <windows.h>

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    PrepareProcess();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    // The whole command line, as the system keeps it: the program's name
    // goes, and the rest is the program's own.
    const std::string argumentText = CommandTail(::GetCommandLineA());
    WinUserInterface ui;
    CLoaderApp app(ui);
    app.StartUp(argumentText);
    return 0;
}
