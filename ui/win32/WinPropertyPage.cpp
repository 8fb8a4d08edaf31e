#include "ui/win32/WinPropertyPage.h"

#include "ui/win32/TemplateFont.h"
#include "ui/win32/WinPictures.h"
#include "ui/win32/WinWindows.h"

#include <span>

namespace {

// The property sheet's own font, in which its page area is measured.
const TemplateFont kSheetFont = {8, FW_NORMAL, 0, DEFAULT_CHARSET, "MS Shell Dlg"};

}  // namespace

CPropertyPage::CPropertyPage(int templateId, CFlashWizard& sheet) : m_sheet(sheet), m_templateId(templateId) {}

PROPSHEETPAGEA CPropertyPage::Describe()
{
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;  // no Help button
    page.hInstance = ::GetModuleHandleA(nullptr);
    m_template = WithTemplateFont(ResourceBytes(MAKEINTRESOURCEA(m_templateId), MAKEINTRESOURCEA(5) /* RT_DIALOG */),
                                  kSheetFont);
    if (!m_template.empty()) {
        page.dwFlags |= PSP_DLGINDIRECT;
        page.pResource = reinterpret_cast<LPCDLGTEMPLATEA>(m_template.data());
    } else {
        page.pszTemplate = MAKEINTRESOURCEA(m_templateId);
    }
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    CPropertyPage* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
        ::SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        // Before the page's own start (the port page scans there): the
        // pictures in the page's real font, at the display's size.
        FitDialogPictures(page, self->m_templateId);
    } else {
        self = reinterpret_cast<CPropertyPage*>(::GetWindowLongPtrA(page, DWLP_USER));
    }
    if (message == WM_DESTROY && self != nullptr)
        ReleaseDialogPictures(page, self->m_templateId);
    return self != nullptr ? self->OnMessage(page, message, wParam, lParam) : FALSE;
}

void CPropertyPage::SetButtons(HWND page, unsigned flags)
{
    ::SendMessageA(::GetParent(page), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void CPropertyPage::SetResult(HWND page, LONG_PTR result) { ::SetWindowLongPtrA(page, DWLP_MSGRESULT, result); }
