#include "ui/win32/WinPathPage.h"

#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "app/Text.h"
#include "resources/DialogTemplates.h"
#include "ui/rules/WizardRules.h"
#include "ui/win32/WinConfirmDlg.h"
#include "ui/win32/WinUserInterface.h"
#include "ui/win32/WinWindows.h"
#include "ui/win32/WinWizard.h"

#include <commdlg.h>

CPathPage::CPathPage(CFlashWizard& sheet) : CPropertyPage(IDD_PATH, sheet) {}

INT_PTR CPathPage::OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        m_pathEdit = ::GetDlgItem(page, IDC_PATH_EDIT);
        ::SetWindowTextA(m_pathEdit, std::string(FieldText(FlashSelection.HexFilePath)).c_str());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PATH_EDIT && HIWORD(wParam) == EN_CHANGE) {
            OnChangePath(page);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_PATH_BROWSE && HIWORD(wParam) == BN_CLICKED) {
            OnBrowse(page);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
            // Finish is offered on arrival whatever the text; the text
            // governs it from its next change on.
            SetButtons(page, ButtonsOnActivation(WizardPage::Path));
            SetResult(page, 0);
            return TRUE;
        case PSN_KILLACTIVE:
            m_strPath = WindowText(m_pathEdit);
            SetResult(page, FALSE);
            return TRUE;
        case PSN_WIZFINISH:
            // Non-zero keeps the page: Finish refused.
            SetResult(page, OnWizardFinish(page) ? 0 : 1);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void CPathPage::OnChangePath(HWND page)
{
    m_strPath = WindowText(m_pathEdit);
    SetButtons(page, PathButtonsAfterChange(m_strPath));
}

void CPathPage::OnBrowse(HWND page)
{
    // One open-file dialog at a time: bring an open one to the front.
    if (HWND open = ::FindWindowA(nullptr, "Open")) {
        ::SetForegroundWindow(open);
        return;
    }
    m_strPath = WindowText(m_pathEdit);
    const std::string directory = InitialBrowseFolder(m_strPath, kWindowsPathSeparators);

    char file[MAX_PATH] = "*.hex";
    static const char kFilter[] = "Hex Files (*.hex) \0*.hex\0All Files (*.*) \0*.*\0";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = ::GetParent(page);
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
    dialog.lpstrDefExt = "hex";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameA(&dialog))
        ::SetWindowTextA(m_pathEdit, file);  // the change notice sets the buttons
}

bool CPathPage::OnWizardFinish(HWND page)
{
    m_strPath = WindowText(m_pathEdit);
    const FinishVerdict verdict =
        CompleteSelection(m_sheet.m_pagePort.SelectedRow(), m_sheet.m_pagePort.m_nBaudIndex, m_strPath);
    if (!verdict.proceed) {
        ShowMessageBox(::GetParent(page), kApplicationName, verdict.message, MsgIcon::Stop, MsgButtons::Ok);
        return false;
    }
    CConfirmDlg confirm(m_sheet.Ui());
    return confirm.DoModal(::GetParent(page)) == IDOK;
}
