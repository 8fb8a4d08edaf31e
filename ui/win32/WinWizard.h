#pragma once
// The wizard on Windows: a property sheet in wizard mode with the welcome
// page (template 129), the port page (131) and the file path page (133).
// The title bar shows the current page's caption.

#include "ui/win32/WinPathPage.h"
#include "ui/win32/WinPortPage.h"
#include "ui/win32/WinUserPage.h"

#include <windows.h>

class WinUserInterface;

class CFlashWizard {
public:
    explicit CFlashWizard(WinUserInterface& ui);
    CFlashWizard(const CFlashWizard&) = delete;
    CFlashWizard& operator=(const CFlashWizard&) = delete;

    // Runs the wizard; true when Finish was accepted.
    bool DoModal();

    WinUserInterface& Ui() { return m_ui; }

    // The pages, in order.
    CUserPage m_pageWelcome;
    CPortPage m_pagePort;
    CPathPage m_pagePath;

private:
    static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);

    WinUserInterface& m_ui;
    HICON m_icon = nullptr;
};
