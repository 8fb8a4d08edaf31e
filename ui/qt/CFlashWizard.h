#pragma once
// The wizard: three pages shown one at a time, the welcome page, the port
// page and the file path page, with Back, Next or Finish, and Cancel. The
// title bar shows the current page's caption.

#include "ui/qt/CPathPage.h"
#include "ui/qt/CPortPage.h"
#include "ui/qt/CUserPage.h"
#include "ui/rules/WizardRules.h"

#include <QDialog>

class QPushButton;
class QtUserInterface;

// The property sheet's names for the wizard's button flags.
enum : unsigned {
    PSWIZB_BACK = kWizardBack,
    PSWIZB_NEXT = kWizardNext,
    PSWIZB_FINISH = kWizardFinish,
    PSWIZB_DISABLEDFINISH = kWizardDisabledFinish,
};

class CFlashWizard : public QDialog {
public:
    CFlashWizard(const QString& caption, QWidget* parent, int startPage, QtUserInterface& ui);

    // Runs the wizard; QDialog::Accepted when Finish was accepted.
    int DoModal();

    void SetWizardButtons(unsigned flags);
    unsigned WizardButtons() const { return m_flags; }
    int ActiveIndex() const { return m_active; }
    CPropertyPage* ActivePage() const;
    QtUserInterface& Ui() { return m_ui; }

    // Ends the wizard from within, with the cancel result.
    void EndWithCancel();

    QPushButton* BackButton() const { return m_back; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* FinishButton() const { return m_finish; }
    QPushButton* CancelButton() const { return m_cancel; }

    // The pages, in order.
    CUserPage m_pageWelcome;
    CPortPage m_pagePort;
    CPathPage m_pagePath;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    CPropertyPage* Page(int index);
    void SetActivePage(int index);
    void OnBack();
    void OnNext();
    void OnFinish();

    QtUserInterface& m_ui;
    int m_startPage;
    int m_active = -1;
    unsigned m_flags = 0;
    bool m_ended = false;
    QPushButton* m_back;
    QPushButton* m_next;
    QPushButton* m_finish;
    QPushButton* m_cancel;
};
