#include "ui/win32/WinWizard.h"

#include "resources/DialogTemplates.h"
#include "ui/win32/WinUserInterface.h"
#include "ui/win32/WinWindows.h"

#include <commctrl.h>
#include <prsht.h>

namespace {

// The sheet's callback has no data of its own: the one wizard that runs.
CFlashWizard* g_running = nullptr;

}  // namespace

CFlashWizard::CFlashWizard(WinUserInterface& ui) : m_pageWelcome(*this), m_pagePort(*this), m_pagePath(*this), m_ui(ui)
{
    m_icon = ::LoadIconA(::GetModuleHandleA(nullptr), ResourceName(kIconApplication));
}

bool CFlashWizard::DoModal()
{
    PROPSHEETPAGEA pages[] = {m_pageWelcome.Describe(), m_pagePort.Describe(), m_pagePath.Describe()};
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_WIZARD | PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.hwndParent = nullptr;
    header.hInstance = ::GetModuleHandleA(nullptr);
    header.pszCaption = "";
    header.nPages = 3;
    header.nStartPage = 0;
    header.ppsp = pages;
    header.pfnCallback = SheetCallback;
    g_running = this;
    INT_PTR result = ::PropertySheetA(&header);
    g_running = nullptr;
    m_ui.SetMainWindow(nullptr);
    return result > 0;
}

int CALLBACK CFlashWizard::SheetCallback(HWND sheet, UINT message, LPARAM lParam)
{
    if (message == PSCB_PRECREATE && lParam != 0) {
        // No context-help button in the frame: the wizard has no help.
        auto* words = reinterpret_cast<WORD*>(lParam);
        if (words[1] == 0xFFFF)
            reinterpret_cast<DWORD*>(lParam)[3] &= ~static_cast<DWORD>(DS_CONTEXTHELP);  // DLGTEMPLATEEX
        else
            reinterpret_cast<DLGTEMPLATE*>(lParam)->style &= ~static_cast<DWORD>(DS_CONTEXTHELP);
    }
    if (message == PSCB_INITIALIZED && g_running != nullptr) {
        g_running->m_ui.SetMainWindow(sheet);
        if (g_running->m_icon != nullptr) {
            ::SendMessageA(sheet, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_running->m_icon));
            ::SendMessageA(sheet, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_running->m_icon));
        }
    }
    return 0;
}
