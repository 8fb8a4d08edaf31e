#pragma once
// The wizard on Windows: a property sheet in wizard mode with the welcome
// page (template 129), the port page (131) and the file path page (133).
// The title bar shows the current page's caption.

#include "ui/rules/WizardRules.h"

#include <windows.h>

#include <string>
#include <vector>

class WinUserInterface;

class CFlashWizard {
public:
    explicit CFlashWizard(WinUserInterface& ui);
    ~CFlashWizard();
    CFlashWizard(const CFlashWizard&) = delete;
    CFlashWizard& operator=(const CFlashWizard&) = delete;

    // Runs the wizard; true when Finish was accepted.
    bool DoModal();

private:
    static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);
    static INT_PTR CALLBACK WelcomeProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PortProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PathProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    static CFlashWizard* Of(HWND page, UINT message, LPARAM lParam);

    void SetButtons(HWND page, unsigned flags);
    // Welcome page
    void OnWelcomeInit(HWND page);
    void DrawAboutButton(const DRAWITEMSTRUCT& item);
    void OnAbout(HWND page);
    // Port page
    bool OnPortInit(HWND page);
    void MeasurePortItem(HWND page, MEASUREITEMSTRUCT& item);
    void DrawPortItem(const DRAWITEMSTRUCT& item);
    int SelectedRow() const;
    // Path page
    void OnPathChange(HWND page);
    void OnBrowse(HWND page);
    bool OnWizardFinish(HWND page);

    WinUserInterface& m_ui;
    HWND m_sheet = nullptr;
    HWND m_portList = nullptr;
    HWND m_pathEdit = nullptr;
    HBITMAP m_aboutUp = nullptr;
    HBITMAP m_aboutDown = nullptr;
    HICON m_icon = nullptr;
    int m_nBaudIndex = -1;
    std::string m_strPath;
    std::vector<std::vector<char>> m_templates;  // the pages' templates in the sheet's font
    std::vector<PortListItem> m_items;  // what the list was filled with
    int m_adding = -1;                  // the row of the item being added to the list
};
