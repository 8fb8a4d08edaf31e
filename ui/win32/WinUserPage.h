#pragma once
// The welcome page on Windows (template 129): the greeting, and the ABOUT
// picture button that opens the About box.

#include "ui/win32/WinPropertyPage.h"

class CUserPage : public CPropertyPage {
public:
    explicit CUserPage(CFlashWizard& sheet);
    ~CUserPage() override;

protected:
    INT_PTR OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInitDialog(HWND page);
    void DrawAboutButton(const DRAWITEMSTRUCT& item);
    void ReleaseAboutPictures();

    HBITMAP m_aboutUp = nullptr;
    HBITMAP m_aboutDown = nullptr;
};
