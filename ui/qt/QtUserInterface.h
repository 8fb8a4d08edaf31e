#pragma once
// The windowed front end of start-up: message boxes, the search notice of a
// scan, the confirmation window and the wizard.

#include "app/UserInterface.h"
#include "ui/qt/UiDialogs.h"

#include <memory>

class CSearchNotice;
class DeviceSource;
class QWidget;

class QtUserInterface : public StartupUi {
public:
    // devices: where a scan lists the serial devices; the system's when null.
    explicit QtUserInterface(UiDialogs& dialogs, DeviceSource* devices = nullptr);
    ~QtUserInterface() override;

    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    void ShowSearchNotice() override;
    std::string SearchNoticeText() override;
    void SetSearchNoticeText(const std::string& text) override;
    void CloseSearchNotice() override;
    int RunConfirmDlg() override;
    void RunWizard(CLoaderApp& app) override;

    // The port scan, under this front end's notice and messages.
    int ScanForModems();
    UiDialogs& Dialogs() { return m_dialogs; }
    // The wizard while it runs: owner of the notice and the message boxes.
    QWidget* MainWindow() const { return m_mainWindow; }

private:
    UiDialogs& m_dialogs;
    DeviceSource* m_devices;
    std::unique_ptr<CSearchNotice> m_notice;
    QWidget* m_mainWindow = nullptr;
};
