#pragma once
// One page of the wizard on Windows: a dialog of the property sheet, made
// from a copy of its template in the sheet's font (or from the template as
// it is, should that copy fail). The page's window procedure hands every
// message after the first to OnMessage of the page object the sheet gave it.

#include <windows.h>

#include <prsht.h>

#include <vector>

class CFlashWizard;

class CPropertyPage {
public:
    CPropertyPage(int templateId, CFlashWizard& sheet);
    virtual ~CPropertyPage() = default;
    CPropertyPage(const CPropertyPage&) = delete;
    CPropertyPage& operator=(const CPropertyPage&) = delete;

    int TemplateId() const { return m_templateId; }
    // The page as the property sheet takes it; what it points to lives as
    // long as this page.
    PROPSHEETPAGEA Describe();

protected:
    virtual INT_PTR OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The sheet's Back, Next and Finish buttons (the rules' flags).
    static void SetButtons(HWND page, unsigned flags);
    // The answer to a notification of the sheet.
    static void SetResult(HWND page, LONG_PTR result);

    CFlashWizard& m_sheet;

private:
    static INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

    int m_templateId;
    std::vector<char> m_template;  // the template in the sheet's font
};
