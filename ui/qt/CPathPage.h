#pragma once
// The file path page: the firmware file to flash, typed or found with
// Browse; its Finish runs the wizard's completion sequence.

#include "ui/qt/CPropertyPage.h"

class QLineEdit;

class CPathPage : public CPropertyPage {
public:
    explicit CPathPage(CFlashWizard& sheet);
    bool OnSetActive() override;
    bool OnWizardFinish() override;

    QLineEdit* m_edtPath = nullptr;
    QString m_strPath;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;

private:
    void OnChangePath();
    void OnBrowse();
};
