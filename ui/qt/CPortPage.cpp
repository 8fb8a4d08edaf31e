#include "ui/qt/CPortPage.h"

#include "app/LastSelection.h"
#include "app/Text.h"
#include "ui/qt/CFlashWizard.h"
#include "ui/qt/CMyCheckListBox.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/rules/WizardRules.h"

#include <QComboBox>

CPortPage::CPortPage(CFlashWizard& sheet) : CPropertyPage(IDD_PORTS, sheet) {}

void CPortPage::DoDataExchange(bool save)
{
    m_lstPorts = m_controls.Get<CMyCheckListBox>(IDC_PORT_LIST);
    m_cboBaud = m_controls.Get<QComboBox>(IDC_PORT_BAUD);
    if (save)
        m_nBaudIndex = m_cboBaud->currentIndex();
    else
        m_cboBaud->setCurrentIndex(m_nBaudIndex);
}

bool CPortPage::OnInitDialog()
{
    auto* combo = m_controls.Get<QComboBox>(IDC_PORT_BAUD);
    for (std::int32_t rate : BaudRates())
        combo->addItem(QString::number(rate));
    CPropertyPage::OnInitDialog();

    if (m_sheet.Ui().ScanForModems() == 0) {
        m_sheet.EndWithCancel();
        return false;
    }

    m_lstPorts->clear();
    // The items come in the list's order already, so that the list's own
    // sorted insertion puts each after those before it.
    for (const PortListItem& item : PortListItems())
        m_lstPorts->AddString(QString::fromStdString(item.text), item.row);
    const int selectedRow = SelectedPortRow(FieldText(FlashSelection.PortName));
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
    m_sheet.SetWizardButtons(ButtonsOnActivation(WizardPage::Ports));
    return true;
}

int CPortPage::SelectedRow() const
{
    if (m_lstPorts == nullptr || m_lstPorts->GetCurSel() < 0)
        return -1;
    return m_lstPorts->GetItemData(m_lstPorts->GetCurSel());
}
