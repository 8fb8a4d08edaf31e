#include "ui/win32/WinAboutBox.h"

#include "app/ProductTexts.h"
#include "resources/DialogTemplates.h"
#include "ui/win32/WinWindows.h"

void CAboutBox::DoModal(HWND owner)
{
    ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), owner, DialogProc, 0);
}

INT_PTR CALLBACK CAboutBox::DialogProc(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        ::SetDlgItemTextA(box, IDC_ABOUT_PRODUCT,
                          (ProductTexts.ProductName + " " + ProductTexts.VersionString).c_str());
        ::SetDlgItemTextA(box, IDC_ABOUT_COMPANY, ProductTexts.CompanyName.c_str());
        ::SetDlgItemTextA(box, IDC_ABOUT_SLOGAN, ProductTexts.CompanySlogen.c_str());
        CentreOverOwner(box);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            ::EndDialog(box, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
