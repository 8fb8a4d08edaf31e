#pragma once
// The port page: the ports found by the scan, those with a modem marked,
// and the baud rate for the flashing run.

#include "ui/CPropertyPage.h"

#include <cstdint>

class CMyCheckListBox;
class QComboBox;

enum class BaudDirection { RateToIndex, IndexToRate };

// Converts between a rate and its place in the baud-rate list (9600, 19200,
// 38400, 57600, 115200). A rate or index outside the list leaves the other
// side as it is.
void ConvertBaudRate(std::int32_t& rate, int& index, BaudDirection direction);

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
