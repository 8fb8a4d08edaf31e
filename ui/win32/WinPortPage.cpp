#include "ui/win32/WinPortPage.h"

#include "app/LastSelection.h"
#include "base/Text.h"
#include "resources/DialogTemplates.h"
#include "ui/win32/WinUserInterface.h"
#include "ui/win32/WinWizard.h"

#include <string>

CPortPage::CPortPage(CFlashWizard& sheet) : CPropertyPage(IDD_PORTS, sheet) {}

INT_PTR CPortPage::OnMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        if (!OnInitDialog(page)) {
            // No modem anywhere: the scan has said so, and the wizard ends
            // as after Cancel once the sheet is up.
            ::PostMessageA(::GetParent(page), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            return FALSE;
        }
        return TRUE;
    case WM_NOTIFY:
        switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
            ::SendDlgItemMessageA(page, IDC_PORT_BAUD, CB_SETCURSEL, static_cast<WPARAM>(m_nBaudIndex), 0);
            SetButtons(page, ButtonsOnActivation(WizardPage::Ports));
            SetResult(page, 0);
            return TRUE;
        case PSN_KILLACTIVE:
            m_nBaudIndex = static_cast<int>(::SendDlgItemMessageA(page, IDC_PORT_BAUD, CB_GETCURSEL, 0, 0));
            SetResult(page, FALSE);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_MEASUREITEM:
        if (wParam == IDC_PORT_LIST) {
            MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        }
        return FALSE;
    case WM_DRAWITEM:
        if (wParam == IDC_PORT_LIST) {
            DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

bool CPortPage::OnInitDialog(HWND page)
{
    HWND combo = ::GetDlgItem(page, IDC_PORT_BAUD);
    for (std::int32_t rate : BaudRates())
        ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(rate).c_str()));
    m_portList = ::GetDlgItem(page, IDC_PORT_LIST);

    // The sheet has put the welcome page away before making this one; the
    // scan takes seconds a port, and meanwhile the wizard is to show where
    // the person pressed Next, painted, not an empty frame.
    HWND sheet = ::GetParent(page);
    HWND welcome = reinterpret_cast<HWND>(::SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0));
    const bool reshown = welcome != nullptr && welcome != page && !::IsWindowVisible(welcome);
    if (reshown) {
        ::ShowWindow(welcome, SW_SHOWNA);
        ::UpdateWindow(welcome);
    }
    const int found = m_sheet.Ui().ScanForModems();
    if (reshown)
        ::ShowWindow(welcome, SW_HIDE);
    if (found == 0)
        return false;

    ::SendMessageA(m_portList, LB_RESETCONTENT, 0, 0);
    m_items = PortListItems();
    const int selectedRow = SelectedPortRow(FieldText(FlashSelection.PortName));
    for (const PortListItem& item : m_items) {
        m_adding = item.row;
        LRESULT index = ::SendMessageA(m_portList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
        m_adding = -1;
        if (index < 0)
            continue;
        ::SendMessageA(m_portList, LB_SETITEMDATA, static_cast<WPARAM>(index), item.row);
        if (item.row == selectedRow)
            ::SendMessageA(m_portList, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    // The selection goes to the modem row wherever the list sorted it.
    LRESULT count = ::SendMessageA(m_portList, LB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index)
        if (::SendMessageA(m_portList, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) == selectedRow)
            ::SendMessageA(m_portList, LB_SETCURSEL, static_cast<WPARAM>(index), 0);

    ConvertBaudRate(FlashSelection.BaudRate, m_nBaudIndex, BaudDirection::RateToIndex);
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(m_nBaudIndex), 0);
    return true;
}

void CPortPage::MeasureItem(MEASUREITEMSTRUCT& item) const
{
    // Measured while the item is added, before its row is stored with it.
    if (m_adding >= 0 && LookOfPortRow(m_adding, false, true).lines == 2)
        item.itemHeight *= 2;
}

void CPortPage::DrawItem(const DRAWITEMSTRUCT& item) const
{
    HWND list = item.hwndItem;
    HDC dc = item.hDC;
    const int index = static_cast<int>(item.itemID);
    const bool drawn = index >= 0 && (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) != 0;
    if (drawn) {
        int row = static_cast<int>(::SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
        const PortRowLook look = LookOfPortRow(row, (item.itemState & ODS_SELECTED) != 0, ::IsWindowEnabled(list) != 0);
        COLORREF text = look.grey ? RGB(128, 128, 128) : ::GetSysColor(COLOR_WINDOWTEXT);
        COLORREF background = ::GetSysColor(COLOR_WINDOW);
        if (look.highlighted) {
            text = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
            background = ::GetSysColor(COLOR_HIGHLIGHT);
        }
        COLORREF oldText = ::SetTextColor(dc, text);
        COLORREF oldBackground = ::SetBkColor(dc, background);
        LRESULT length = ::SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        std::string first(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
        ::SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(first.data()));
        first.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        ::ExtTextOutA(dc, item.rcItem.left, item.rcItem.top, ETO_OPAQUE, &item.rcItem, first.c_str(),
                      static_cast<UINT>(first.size()), nullptr);
        if (!look.secondLine.empty())
            ::TextOutA(dc, item.rcItem.left, (item.rcItem.top + item.rcItem.bottom) / 2, look.secondLine.c_str(),
                       static_cast<int>(look.secondLine.size()));
        ::SetTextColor(dc, oldText);
        ::SetBkColor(dc, oldBackground);
    }
    // The focus rectangle inverts what is under it, so it shows on a grey
    // row's white as on a modem row's highlight; drawn whenever the item has
    // the focus, however the focus came (not only after a key was used).
    if ((item.itemAction & ODA_FOCUS) != 0 || (drawn && (item.itemState & ODS_FOCUS) != 0))
        ::DrawFocusRect(dc, &item.rcItem);
}

int CPortPage::SelectedRow() const
{
    if (m_portList == nullptr)
        return -1;
    LRESULT index = ::SendMessageA(m_portList, LB_GETCURSEL, 0, 0);
    if (index < 0)
        return -1;
    return static_cast<int>(::SendMessageA(m_portList, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}
