#include "ui/CPortPage.h"

#include "app/LastSelection.h"
#include "app/Text.h"
#include "ports/PortTable.h"
#include "ui/CFlashWizard.h"
#include "ui/CMyCheckListBox.h"
#include "ui/QtUserInterface.h"

#include <QComboBox>

namespace {

constexpr std::int32_t kBaudRates[] = {9600, 19200, 38400, 57600, 115200};

} // namespace

void ConvertBaudRate(std::int32_t& rate, int& index, BaudDirection direction)
{
    constexpr int count = static_cast<int>(std::size(kBaudRates));
    if (direction == BaudDirection::IndexToRate) {
        if (index >= 0 && index < count)
            rate = kBaudRates[index];
        return;
    }
    for (int i = 0; i < count; ++i)
        if (kBaudRates[i] == rate)
            index = i;
}

CPortPage::CPortPage(CFlashWizard& sheet) : CPropertyPage(IDD_PORTS, sheet) {}

void CPortPage::DoDataExchange(bool save)
{
    m_lstPorts = m_controls.Get<CMyCheckListBox>(1020);
    m_cboBaud = m_controls.Get<QComboBox>(1005);
    if (save)
        m_nBaudIndex = m_cboBaud->currentIndex();
    else
        m_cboBaud->setCurrentIndex(m_nBaudIndex);
}

bool CPortPage::OnInitDialog()
{
    auto* combo = m_controls.Get<QComboBox>(1005);
    for (std::int32_t rate : kBaudRates)
        combo->addItem(QString::number(rate));
    CPropertyPage::OnInitDialog();

    if (m_sheet.Ui().ScanForModems() == 0) {
        m_sheet.EndWithCancel();
        return false;
    }

    m_lstPorts->clear();
    // Exactly one modem's item ends up selected: the stored port's when a
    // modem answered there, otherwise the last modem in table order.
    const std::string stored = ToUpperAscii(FieldText(FlashSelection.PortName));
    int selectedRow = -1;
    for (int row = 0; row < MAX_PORTS && !PortTable[row].portName.empty(); ++row) {
        m_lstPorts->AddString(QString::fromStdString(PortTable[row].displayText), row);
        if (PortTable[row].modemFound && (selectedRow < 0 || ToUpperAscii(PortTable[selectedRow].portName) != stored))
            selectedRow = row;
    }
    for (int index = 0; index < m_lstPorts->count(); ++index)
        if (m_lstPorts->GetItemData(index) == selectedRow)
            m_lstPorts->SetCurSel(index);

    ConvertBaudRate(FlashSelection.BaudRate, m_nBaudIndex, BaudDirection::RateToIndex);
    m_cboBaud->setCurrentIndex(m_nBaudIndex);
    return true;
}

bool CPortPage::OnSetActive()
{
    CPropertyPage::OnSetActive();
    m_sheet.SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return true;
}

int CPortPage::SelectedRow() const
{
    if (m_lstPorts == nullptr || m_lstPorts->GetCurSel() < 0)
        return -1;
    return m_lstPorts->GetItemData(m_lstPorts->GetCurSel());
}
