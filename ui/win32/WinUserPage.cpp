#include "ui/win32/WinUserPage.h"

#include "resources/DialogTemplates.h"
#include "ui/rules/WizardRules.h"
#include "ui/win32/WinAboutBox.h"
#include "ui/win32/WinWindows.h"

CUserPage::CUserPage(CFlashWizard& sheet) : CPropertyPage(IDD_WELCOME, sheet)
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    m_aboutUp = ::LoadBitmapA(instance, ResourceName(kBitmapAboutUp));
    m_aboutDown = ::LoadBitmapA(instance, ResourceName(kBitmapAboutDown));
}

CUserPage::~CUserPage()
{
    if (m_aboutUp != nullptr)
        ::DeleteObject(m_aboutUp);
    if (m_aboutDown != nullptr)
        ::DeleteObject(m_aboutDown);
}

INT_PTR CUserPage::OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(page);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_SETACTIVE) {
            SetButtons(page, ButtonsOnActivation(WizardPage::Welcome));
            SetResult(page, 0);
            return TRUE;
        }
        return FALSE;
    case WM_DRAWITEM:
        if (wParam == IDC_WELCOME_ABOUT) {
            DrawAboutButton(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_WELCOME_ABOUT && HIWORD(wParam) == BN_CLICKED) {
            CAboutBox::DoModal(::GetParent(page));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void CUserPage::OnInitDialog(HWND page)
{
    // The question of which version to use stays out of sight: nothing
    // reads its answer.
    for (int id : {IDC_WELCOME_END_USER, IDC_WELCOME_DEVELOPER}) {
        HWND radio = ::GetDlgItem(page, id);
        ::EnableWindow(radio, FALSE);
        ::ShowWindow(radio, SW_HIDE);
    }
}

void CUserPage::DrawAboutButton(const DRAWITEMSTRUCT& item)
{
    HBITMAP picture = (item.itemState & ODS_SELECTED) && m_aboutDown != nullptr ? m_aboutDown : m_aboutUp;
    if (picture == nullptr)
        return;
    BITMAP size{};
    ::GetObjectA(picture, sizeof size, &size);
    HDC memory = ::CreateCompatibleDC(item.hDC);
    HGDIOBJ old = ::SelectObject(memory, picture);
    ::BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
}
