// flashloader: the wizard that finds a supported modem and flashes it.

#include "app/CommandLine.h"
#include "app/LoaderApp.h"
#include "ui/Pictures.h"
#include "ui/QtUserInterface.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("flashloader"));
    // Qt has taken its own options out of argv; the rest is the program's.
    QtDialogs dialogs;
    QtUserInterface ui(dialogs);
    CLoaderApp app(ui);
    app.StartUp(ArgumentText(argc, argv));
    return 0;
}
