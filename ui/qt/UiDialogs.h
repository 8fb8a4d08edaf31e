#pragma once
// The standard dialogs the windows use: message boxes (including the retry
// question of a flashing run) and the open-file dialog. The program uses
// Qt's; tests answer them in advance.

#include "app/UserInterface.h"

#include <string>

class QWidget;

struct OpenFileRequest {
    std::string title = "Open";
    std::string initialDirectory;  // empty: the platform's default
    std::string initialName = "*.hex";
    std::string defaultExtension = "hex";
};

class UiDialogs : public MessageUi {
public:
    // True with the full path of an existing file the person chose.
    virtual bool GetOpenFileName(const OpenFileRequest& request, std::string& chosen) = 0;
};

class QtDialogs : public UiDialogs {
public:
    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    bool GetOpenFileName(const OpenFileRequest& request, std::string& chosen) override;
};
