#pragma once
// The welcome page: what the program does, and the ABOUT button.

#include "ui/qt/CPropertyPage.h"

#include <QIcon>

class CBitmapButton;

class CUserPage : public CPropertyPage {
public:
    explicit CUserPage(CFlashWizard& sheet);
    bool OnSetActive() override;

    QIcon m_hIcon;
    CBitmapButton* m_btnAbout = nullptr;
    int m_nUserMode = -1;  // the hidden version question's answer; read by nothing

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;

private:
    void OnAbout();
};
