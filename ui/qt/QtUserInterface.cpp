#include "ui/qt/QtUserInterface.h"

#include "app/LoaderApp.h"
#include "ports/platform/DeviceSource.h"
#include "serial/SerialLink.h"
#include "ui/qt/CConfirmDlg.h"
#include "ui/qt/CFlashWizard.h"
#include "ui/qt/CSearchNotice.h"
#include "ui/qt/DialogInput.h"

#include <QApplication>

QtUserInterface::QtUserInterface(UiDialogs& dialogs, DeviceSource* devices) : m_dialogs(dialogs), m_devices(devices)
{
    // While the program waits for a modem, its windows are kept painted,
    // so that the desktop does not take it for hung; what the person types
    // or clicks meanwhile goes nowhere.
    SerialLink::SetWaitHook([] { PumpDiscardingInput(); });
}

QtUserInterface::~QtUserInterface() { SerialLink::SetWaitHook(nullptr); }

MsgResult QtUserInterface::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                       MsgButtons buttons)
{
    return m_dialogs.ShowMessage(caption, text, icon, buttons);
}

void QtUserInterface::ShowSearchNotice() { m_notice = std::make_unique<CSearchNotice>(m_mainWindow); }

std::string QtUserInterface::SearchNoticeText() { return m_notice ? m_notice->Text() : std::string(); }

void QtUserInterface::SetSearchNoticeText(const std::string& text)
{
    if (m_notice)
        m_notice->SetText(text);
}

void QtUserInterface::CloseSearchNotice() { m_notice.reset(); }

int QtUserInterface::RunConfirmDlg()
{
    CConfirmDlg confirm(nullptr, m_dialogs);
    return confirm.DoModal();
}

void QtUserInterface::RunWizard(CLoaderApp& /*app*/)
{
    CFlashWizard wizard(QString(), nullptr, 0, *this);
    m_mainWindow = &wizard;
    wizard.DoModal();
    m_mainWindow = nullptr;
}

int QtUserInterface::ScanForModems()
{
    if (m_devices != nullptr)
        return CLoaderApp::ScanForModems(*this, *m_devices);
    return CLoaderApp::ScanForModems(*this);
}
