#pragma once
// One page of the wizard, built from its template the first time it is
// shown. The wizard calls OnInitDialog once, OnSetActive on every
// activation, DoDataExchange to move values between members and controls.

#include "ui/qt/DialogBuilder.h"

#include <QWidget>

class CFlashWizard;

class CPropertyPage : public QWidget {
public:
    CPropertyPage(int templateId, CFlashWizard& sheet);

    int TemplateId() const { return m_templateId; }
    QString Caption() const;
    bool Created() const { return m_created; }
    QWidget* Control(int id) const { return m_controls[id]; }

    // Builds the page's controls and runs OnInitDialog; false when the page
    // could not go on (the wizard may have been ended meanwhile).
    bool Create();

    // The framework's data exchange: save true reads the controls into the
    // members, false writes the members into the controls.
    bool UpdateData(bool save)
    {
        DoDataExchange(save);
        return true;
    }

    virtual bool OnSetActive();
    virtual bool OnWizardFinish() { return true; }

protected:
    // Runs after the controls exist: writes the members into them.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(bool /*save*/) {}

    CFlashWizard& m_sheet;
    DialogControls m_controls;

private:
    int m_templateId;
    bool m_created = false;
    bool m_activatedBefore = false;
};
