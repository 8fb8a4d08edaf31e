#pragma once
// The file path page on Windows (template 133): the hex file to flash,
// typed or chosen with Browse; Finish checks the choices and opens the
// confirmation window.

#include "ui/win32/WinPropertyPage.h"

#include <string>

class CPathPage : public CPropertyPage {
public:
    explicit CPathPage(CFlashWizard& sheet);

protected:
    INT_PTR OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnChangePath(HWND page);
    void OnBrowse(HWND page);
    // True when the confirmation window ended with a run (Close).
    bool OnWizardFinish(HWND page);

    HWND m_pathEdit = nullptr;
    std::string m_strPath;
};
