#include "ui/win32/WinWizard.h"

#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "app/ProductTexts.h"
#include "app/Text.h"
#include "resources/DialogTemplates.h"
#include "ui/win32/WinConfirmDlg.h"
#include "ui/win32/WinUserInterface.h"
#include "ui/win32/WinWindows.h"

#include <commctrl.h>
#include <commdlg.h>
#include <prsht.h>

#include <cstring>

namespace {

// The sheet's callback has no data of its own: the one wizard that runs.
CFlashWizard* g_running = nullptr;

void SetResult(HWND page, LONG_PTR result)
{
    ::SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
}

INT_PTR CALLBACK AboutProc(HWND box, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        ::SetDlgItemTextA(box, IDC_ABOUT_PRODUCT, (ProductTexts.ProductName + " " + ProductTexts.VersionString).c_str());
        ::SetDlgItemTextA(box, IDC_ABOUT_COMPANY, ProductTexts.CompanyName.c_str());
        ::SetDlgItemTextA(box, IDC_ABOUT_SLOGAN, ProductTexts.CompanySlogen.c_str());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            ::EndDialog(box, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

// A page's template with its font replaced by the property sheet's own, as
// the class library of the platform does for its property pages: the sheet
// sizes its page area in its own font's dialog units, and a page laid out
// in a larger font would be cut off at the right and the bottom. Empty when
// the template is not one of the extended kind it knows.
std::vector<char> InSheetFont(int templateId)
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5));  // RT_DIALOG
    HGLOBAL loaded = found != nullptr ? ::LoadResource(instance, found) : nullptr;
    const char* data = loaded != nullptr ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    const std::size_t size = found != nullptr ? ::SizeofResource(instance, found) : 0;
    if (data == nullptr || size < 26)
        return {};
    auto word = [&](std::size_t at) {
        WORD value = 0;
        if (at + 2 <= size)
            std::memcpy(&value, data + at, 2);
        return value;
    };
    DWORD style = 0;
    std::memcpy(&style, data + 12, 4);
    if (word(0) != 1 || word(2) != 0xFFFF || (style & DS_SETFONT) == 0)
        return {};
    // After the fixed part: menu, class (each none, a number or a string),
    // title; then the font: size, weight, italic, character set, name.
    std::size_t at = 26;
    auto skipString = [&] {
        for (WORD c = 1; c != 0 && at < size; at += 2)
            c = word(at);
    };
    auto skipNameOrNumber = [&] {
        if (word(at) == 0xFFFF)
            at += 4;
        else
            skipString();
    };
    skipNameOrNumber();  // menu
    skipNameOrNumber();  // class
    skipString();        // title
    const std::size_t fontAt = at;
    at += 6;
    skipString();  // the font's name
    const std::size_t itemsAt = (at + 3) & ~std::size_t(3);
    if (itemsAt > size)
        return {};

    std::vector<char> copy(data, data + fontAt);
    const WORD pointSize = 8, weight = FW_NORMAL;
    const BYTE italic = 0, charset = DEFAULT_CHARSET;
    copy.insert(copy.end(), reinterpret_cast<const char*>(&pointSize), reinterpret_cast<const char*>(&pointSize) + 2);
    copy.insert(copy.end(), reinterpret_cast<const char*>(&weight), reinterpret_cast<const char*>(&weight) + 2);
    copy.push_back(static_cast<char>(italic));
    copy.push_back(static_cast<char>(charset));
    for (const char* c = "MS Shell Dlg";; ++c) {
        WORD wide = static_cast<unsigned char>(*c);
        copy.insert(copy.end(), reinterpret_cast<const char*>(&wide), reinterpret_cast<const char*>(&wide) + 2);
        if (*c == '\0')
            break;
    }
    while (copy.size() % 4 != 0)
        copy.push_back('\0');
    copy.insert(copy.end(), data + itemsAt, data + size);
    return copy;
}

} // namespace

CFlashWizard::CFlashWizard(WinUserInterface& ui) : m_ui(ui)
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    m_aboutUp = ::LoadBitmapA(instance, ResourceName(kBitmapAboutUp));
    m_aboutDown = ::LoadBitmapA(instance, ResourceName(kBitmapAboutDown));
    m_icon = ::LoadIconA(instance, ResourceName(kIconApplication));
}

CFlashWizard::~CFlashWizard()
{
    if (m_aboutUp != nullptr)
        ::DeleteObject(m_aboutUp);
    if (m_aboutDown != nullptr)
        ::DeleteObject(m_aboutDown);
}

bool CFlashWizard::DoModal()
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    PROPSHEETPAGEA pages[3] = {};
    const struct {
        int templateId;
        DLGPROC proc;
    } kinds[] = {{IDD_WELCOME, WelcomeProc}, {IDD_PORTS, PortProc}, {IDD_PATH, PathProc}};
    m_templates.clear();
    for (int i = 0; i < 3; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_DEFAULT;  // no Help button
        pages[i].hInstance = instance;
        m_templates.push_back(InSheetFont(kinds[i].templateId));
        if (!m_templates.back().empty()) {
            pages[i].dwFlags |= PSP_DLGINDIRECT;
            pages[i].pResource = reinterpret_cast<LPCDLGTEMPLATEA>(m_templates.back().data());
        } else {
            pages[i].pszTemplate = MAKEINTRESOURCEA(kinds[i].templateId);
        }
        pages[i].pfnDlgProc = kinds[i].proc;
        pages[i].lParam = reinterpret_cast<LPARAM>(this);
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_WIZARD | PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.hwndParent = nullptr;
    header.hInstance = instance;
    header.pszCaption = "";
    header.nPages = 3;
    header.nStartPage = 0;
    header.ppsp = pages;
    header.pfnCallback = SheetCallback;
    g_running = this;
    INT_PTR result = ::PropertySheetA(&header);
    g_running = nullptr;
    m_ui.SetMainWindow(nullptr);
    return result > 0;
}

int CALLBACK CFlashWizard::SheetCallback(HWND sheet, UINT message, LPARAM lParam)
{
    if (message == PSCB_PRECREATE && lParam != 0) {
        // No context-help button in the frame: the wizard has no help.
        auto* words = reinterpret_cast<WORD*>(lParam);
        if (words[1] == 0xFFFF)
            reinterpret_cast<DWORD*>(lParam)[3] &= ~static_cast<DWORD>(DS_CONTEXTHELP);  // DLGTEMPLATEEX
        else
            reinterpret_cast<DLGTEMPLATE*>(lParam)->style &= ~static_cast<DWORD>(DS_CONTEXTHELP);
    }
    if (message == PSCB_INITIALIZED && g_running != nullptr) {
        g_running->m_sheet = sheet;
        g_running->m_ui.SetMainWindow(sheet);
        if (g_running->m_icon != nullptr) {
            ::SendMessageA(sheet, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_running->m_icon));
            ::SendMessageA(sheet, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_running->m_icon));
        }
    }
    return 0;
}

CFlashWizard* CFlashWizard::Of(HWND page, UINT message, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CFlashWizard*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
        ::SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        if (self->m_sheet == nullptr)
            self->m_sheet = ::GetParent(page);
        return self;
    }
    return reinterpret_cast<CFlashWizard*>(::GetWindowLongPtrA(page, DWLP_USER));
}

void CFlashWizard::SetButtons(HWND page, unsigned flags)
{
    ::SendMessageA(::GetParent(page), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

// The welcome page ---------------------------------------------------------

INT_PTR CALLBACK CFlashWizard::WelcomeProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    CFlashWizard* self = Of(page, message, lParam);
    if (self == nullptr)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        self->OnWelcomeInit(page);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_SETACTIVE) {
            self->SetButtons(page, ButtonsOnActivation(WizardPage::Welcome));
            SetResult(page, 0);
            return TRUE;
        }
        return FALSE;
    case WM_DRAWITEM:
        if (wParam == IDC_WELCOME_ABOUT) {
            self->DrawAboutButton(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_WELCOME_ABOUT && HIWORD(wParam) == BN_CLICKED) {
            self->OnAbout(page);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void CFlashWizard::OnWelcomeInit(HWND page)
{
    // The question of which version to use stays out of sight: nothing
    // reads its answer.
    for (int id : {IDC_WELCOME_END_USER, IDC_WELCOME_DEVELOPER}) {
        HWND radio = ::GetDlgItem(page, id);
        ::EnableWindow(radio, FALSE);
        ::ShowWindow(radio, SW_HIDE);
    }
}

void CFlashWizard::DrawAboutButton(const DRAWITEMSTRUCT& item)
{
    HBITMAP picture = (item.itemState & ODS_SELECTED) && m_aboutDown != nullptr ? m_aboutDown : m_aboutUp;
    if (picture == nullptr)
        return;
    BITMAP size{};
    ::GetObjectA(picture, sizeof size, &size);
    HDC memory = ::CreateCompatibleDC(item.hDC);
    HGDIOBJ old = ::SelectObject(memory, picture);
    ::BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
}

void CFlashWizard::OnAbout(HWND page)
{
    ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), ::GetParent(page), AboutProc, 0);
}

// The port page ------------------------------------------------------------

INT_PTR CALLBACK CFlashWizard::PortProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    CFlashWizard* self = Of(page, message, lParam);
    if (self == nullptr)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        if (!self->OnPortInit(page)) {
            // No modem anywhere: the scan has said so, and the wizard ends
            // as after Cancel once the sheet is up.
            ::PostMessageA(::GetParent(page), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            return FALSE;
        }
        return TRUE;
    case WM_NOTIFY:
        switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
            ::SendDlgItemMessageA(page, IDC_PORT_BAUD, CB_SETCURSEL, static_cast<WPARAM>(self->m_nBaudIndex), 0);
            self->SetButtons(page, ButtonsOnActivation(WizardPage::Ports));
            SetResult(page, 0);
            return TRUE;
        case PSN_KILLACTIVE:
            self->m_nBaudIndex = static_cast<int>(::SendDlgItemMessageA(page, IDC_PORT_BAUD, CB_GETCURSEL, 0, 0));
            SetResult(page, FALSE);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_MEASUREITEM:
        if (wParam == IDC_PORT_LIST) {
            self->MeasurePortItem(page, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        }
        return FALSE;
    case WM_DRAWITEM:
        if (wParam == IDC_PORT_LIST) {
            self->DrawPortItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

bool CFlashWizard::OnPortInit(HWND page)
{
    HWND combo = ::GetDlgItem(page, IDC_PORT_BAUD);
    for (std::int32_t rate : BaudRates())
        ::SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(rate).c_str()));
    m_portList = ::GetDlgItem(page, IDC_PORT_LIST);

    if (m_ui.ScanForModems() == 0)
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

void CFlashWizard::MeasurePortItem(HWND, MEASUREITEMSTRUCT& item)
{
    // Measured while the item is added, before its row is stored with it.
    if (m_adding >= 0 && LookOfPortRow(m_adding, false, true).lines == 2)
        item.itemHeight *= 2;
}

void CFlashWizard::DrawPortItem(const DRAWITEMSTRUCT& item)
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

int CFlashWizard::SelectedRow() const
{
    if (m_portList == nullptr)
        return -1;
    LRESULT index = ::SendMessageA(m_portList, LB_GETCURSEL, 0, 0);
    if (index < 0)
        return -1;
    return static_cast<int>(::SendMessageA(m_portList, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

// The file path page -------------------------------------------------------

INT_PTR CALLBACK CFlashWizard::PathProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    CFlashWizard* self = Of(page, message, lParam);
    if (self == nullptr)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        self->m_pathEdit = ::GetDlgItem(page, IDC_PATH_EDIT);
        ::SetWindowTextA(self->m_pathEdit, std::string(FieldText(FlashSelection.HexFilePath)).c_str());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PATH_EDIT && HIWORD(wParam) == EN_CHANGE) {
            self->OnPathChange(page);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_PATH_BROWSE && HIWORD(wParam) == BN_CLICKED) {
            self->OnBrowse(page);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
            // Finish is offered on arrival whatever the text; the text
            // governs it from its next change on.
            self->SetButtons(page, ButtonsOnActivation(WizardPage::Path));
            SetResult(page, 0);
            return TRUE;
        case PSN_KILLACTIVE:
            self->m_strPath = WindowText(self->m_pathEdit);
            SetResult(page, FALSE);
            return TRUE;
        case PSN_WIZFINISH:
            // Non-zero keeps the page: Finish refused.
            SetResult(page, self->OnWizardFinish(page) ? 0 : 1);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void CFlashWizard::OnPathChange(HWND page)
{
    m_strPath = WindowText(m_pathEdit);
    SetButtons(page, PathButtonsAfterChange(m_strPath));
}

void CFlashWizard::OnBrowse(HWND page)
{
    // One open-file dialog at a time: bring an open one to the front.
    if (HWND open = ::FindWindowA(nullptr, "Open")) {
        ::SetForegroundWindow(open);
        return;
    }
    m_strPath = WindowText(m_pathEdit);
    std::string directory;
    std::string::size_type split = m_strPath.find_last_of("\\/:");
    if (!m_strPath.empty() && split != std::string::npos)
        directory = m_strPath.substr(0, split + 1);

    char file[MAX_PATH] = "*.hex";
    static const char kFilter[] = "Hex Files (*.hex) \0*.hex\0All Files (*.*) \0*.*\0";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = ::GetParent(page);
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
    dialog.lpstrDefExt = "hex";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameA(&dialog))
        ::SetWindowTextA(m_pathEdit, file);  // the change notice sets the buttons
}

bool CFlashWizard::OnWizardFinish(HWND page)
{
    m_strPath = WindowText(m_pathEdit);
    const FinishVerdict verdict = CompleteSelection(SelectedRow(), m_nBaudIndex, m_strPath);
    if (!verdict.proceed) {
        ShowMessageBox(::GetParent(page), kApplicationName, verdict.message, MsgIcon::Stop, MsgButtons::Ok);
        return false;
    }
    CConfirmDlg confirm(m_ui);
    return confirm.DoModal(::GetParent(page)) == IDOK;
}
