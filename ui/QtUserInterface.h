#pragma once
// The windowed front end: message boxes and the windows that start-up opens.

#include "app/UserInterface.h"

#include <memory>

class QDialog;
class QLabel;

class QtUserInterface : public StartupUi {
public:
    QtUserInterface();
    ~QtUserInterface() override;

    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    void ShowSearchNotice() override;
    std::string SearchNoticeText() override;
    void SetSearchNoticeText(const std::string& text) override;
    void CloseSearchNotice() override;
    int RunConfirmDlg() override;
    void RunWizard(CLoaderApp& app) override;

private:
    std::unique_ptr<QDialog> m_notice;
    QLabel* m_noticePorts = nullptr;
};
