#pragma once
// The windowed front end: message boxes and the windows that start-up opens.

#include "app/UserInterface.h"

class QWidget;

class QtUserInterface : public StartupUi {
public:
    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    int RunConfirmDlg() override;
    void RunWizard(CLoaderApp& app) override;
};
