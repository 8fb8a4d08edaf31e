#include "app/LoaderApp.h"

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/LastSelection.h"
#include "app/ProductTexts.h"
#include "base/UserInterface.h"

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
