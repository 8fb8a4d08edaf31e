#pragma once
// The port page: the ports found by the scan, those with a modem marked,
// and the baud rate for the flashing run.

#include "ui/qt/CPropertyPage.h"

class CMyCheckListBox;
class QComboBox;

class CPortPage : public CPropertyPage {
public:
    explicit CPortPage(CFlashWizard& sheet);
    bool OnSetActive() override;

    // The port table row of the selected item; -1 when none is selected.
    int SelectedRow() const;

    CMyCheckListBox* m_lstPorts = nullptr;
    QComboBox* m_cboBaud = nullptr;
    int m_nBaudIndex = -1;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;
};
