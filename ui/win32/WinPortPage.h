#pragma once
// The port page on Windows (template 131): the ports found by the scan,
// those with a modem marked, and the baud rate for the flashing run.

#include "ui/rules/WizardRules.h"
#include "ui/win32/WinPropertyPage.h"

#include <vector>

class CPortPage : public CPropertyPage {
public:
    explicit CPortPage(CFlashWizard& sheet);

    // The port table row of the selected item; -1 when none is selected.
    int SelectedRow() const;

    int m_nBaudIndex = -1;

protected:
    INT_PTR OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // False when no modem answered anywhere.
    bool OnInitDialog(HWND page);
    void MeasureItem(MEASUREITEMSTRUCT& item) const;
    void DrawItem(const DRAWITEMSTRUCT& item) const;

    HWND m_portList = nullptr;
    std::vector<PortListItem> m_items;  // what the list was filled with
    int m_adding = -1;                  // the row of the item being added to the list
};
