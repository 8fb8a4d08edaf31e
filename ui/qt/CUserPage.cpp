#include "ui/qt/CUserPage.h"

#include "ui/qt/CAboutBox.h"
#include "ui/qt/CBitmapButton.h"
#include "ui/qt/CFlashWizard.h"
#include "ui/qt/Pictures.h"

#include <QRadioButton>

CUserPage::CUserPage(CFlashWizard& sheet) : CPropertyPage(IDD_WELCOME, sheet) {}

void CUserPage::DoDataExchange(bool save)
{
    m_btnAbout = m_controls.Get<CBitmapButton>(IDC_WELCOME_ABOUT);
    auto* developer = m_controls.Get<QRadioButton>(IDC_WELCOME_DEVELOPER);
    auto* endUser = m_controls.Get<QRadioButton>(IDC_WELCOME_END_USER);
    if (save) {
        m_nUserMode = developer->isChecked() ? 0 : endUser->isChecked() ? 1 : -1;
        return;
    }
    // -1 sets neither button; exclusive buttons must let go for that.
    developer->setAutoExclusive(false);
    endUser->setAutoExclusive(false);
    developer->setChecked(m_nUserMode == 0);
    endUser->setChecked(m_nUserMode == 1);
    developer->setAutoExclusive(true);
    endUser->setAutoExclusive(true);
}

bool CUserPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    m_hIcon = ApplicationIcon();
    setWindowIcon(m_hIcon);
    m_btnAbout->LoadBitmaps(Picture(kBitmapAboutUp), Picture(kBitmapAboutDown));
    connect(m_btnAbout, &QAbstractButton::clicked, this, [this] { OnAbout(); });
    // The version question is not asked: its buttons stay hidden and out of
    // the tab order.
    for (int id : {IDC_WELCOME_END_USER, IDC_WELCOME_DEVELOPER}) {
        m_controls[id]->setEnabled(false);
        m_controls[id]->hide();
    }
    return true;
}

bool CUserPage::OnSetActive()
{
    CPropertyPage::OnSetActive();
    m_sheet.SetWizardButtons(ButtonsOnActivation(WizardPage::Welcome));
    return true;
}

void CUserPage::OnAbout()
{
    CAboutBox about(&m_sheet);
    about.DoModal();
}
