#include "ui/win32/WinUserPage.h"

#include "resources/DialogTemplates.h"
#include "ui/rules/WizardRules.h"
#include "ui/win32/WinAboutBox.h"
#include "ui/win32/WinPictures.h"
#include "ui/win32/WinWindows.h"

namespace {

// Room between the button's edge and its picture, for the focus frame.
constexpr int kFocusMargin = 3;

}  // namespace

CUserPage::CUserPage(CFlashWizard& sheet) : CPropertyPage(IDD_WELCOME, sheet) {}

CUserPage::~CUserPage() { ReleaseAboutPictures(); }

void CUserPage::ReleaseAboutPictures()
{
    if (m_aboutUp != nullptr)
        ::DeleteObject(m_aboutUp);
    if (m_aboutDown != nullptr)
        ::DeleteObject(m_aboutDown);
    m_aboutUp = m_aboutDown = nullptr;
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
    // The ABOUT pictures in the size that fits the button as the page's
    // font lays it out, inside the focus frame.
    RECT button{};
    ::GetClientRect(::GetDlgItem(page, IDC_WELCOME_ABOUT), &button);
    const int width = button.right - 2 * kFocusMargin, height = button.bottom - 2 * kFocusMargin;
    ReleaseAboutPictures();
    m_aboutUp = LoadPictureToFit(kBitmapAboutUp, width, height);
    m_aboutDown = LoadPictureToFit(kBitmapAboutDown, width, height);
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
    // The whole button is painted each time, so that a focus frame drawn
    // before leaves nothing behind.
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    HBITMAP picture = (item.itemState & ODS_SELECTED) && m_aboutDown != nullptr ? m_aboutDown : m_aboutUp;
    if (picture != nullptr) {
        BITMAP size{};
        ::GetObjectA(picture, sizeof size, &size);
        const int left = (item.rcItem.left + item.rcItem.right - size.bmWidth) / 2;
        const int top = (item.rcItem.top + item.rcItem.bottom - size.bmHeight) / 2;
        HDC memory = ::CreateCompatibleDC(item.hDC);
        HGDIOBJ old = ::SelectObject(memory, picture);
        ::BitBlt(item.hDC, left, top, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
    }
    // The keyboard's place is seen on the picture button as on any other:
    // Space or Return opens the About box from there.
    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT frame = item.rcItem;
        ::InflateRect(&frame, -1, -1);
        ::DrawFocusRect(item.hDC, &frame);
    }
}
