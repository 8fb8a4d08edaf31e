// flashloader: the wizard that finds a supported modem and flashes it.

#include "app/CommandLine.h"
#include "app/LoaderApp.h"
#include "ui/QtUserInterface.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Qt has taken its own options out of argv; the rest is the program's.
    QtUserInterface ui;
    CLoaderApp app(ui);
    app.StartUp(ArgumentText(argc, argv));
    return 0;
}
