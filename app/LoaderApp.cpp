#include "app/LoaderApp.h"

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/LastSelection.h"
#include "app/MenuStart.h"
#include "app/ProductTexts.h"
#include "base/UserInterface.h"
#include "ports/ModemScan.h"

bool DeveloperMode = false;
bool UseLastSelection = false;
std::string StartDirectory;

void ResetProgramState()
{
    DeveloperMode = false;
    UseLastSelection = false;
    StartDirectory.clear();
    FlashSelection = FlashSelectionRecord{};
    ProductTexts = ProductTextsRecord{};
    StartPlace = StartPlaceRecord{};
}

bool CLoaderApp::StartUp(std::string_view argumentText)
{
    CommandLineOutcome command = ClassifyCommandLine(argumentText);
    if (!command.refusal.empty())
        m_ui.ShowMessage(kApplicationName, command.refusal, MsgIcon::Warning);

    if (UseLastSelection)
        LoadLastSelection();

    if (!LoadProductTexts(m_ui))
        return false;

    if (DeveloperMode && m_ui.RunConfirmDlg() == IDOK)
        return false;

    m_ui.RunWizard(*this);
    StoreLastSelection();
    return false;
}

int CLoaderApp::ProbeModem(std::string_view portName, std::string& identification,
                           const modem_protocol::LineTimeLimits& limits)
{
    return modem_scan::ProbeModem(portName, identification, limits);
}

std::string CLoaderApp::CutIdentification(std::string_view reply) { return modem_scan::CutIdentification(reply); }

int CLoaderApp::ScanForModems(ScanUi& ui) { return modem_scan::ScanForModems(ui); }

#ifndef _WIN32
int CLoaderApp::ScanForModems(ScanUi& ui, DeviceSource& devices, const modem_protocol::LineTimeLimits& limits)
{
    return modem_scan::ScanForModems(ui, devices, limits);
}
#endif

int CLoaderApp::ScanForModems(ScanUi& ui, RegistryAccess& registry, const modem_protocol::LineTimeLimits& limits)
{
    return modem_scan::ScanForModems(ui, registry, limits);
}
