// The resources of the Windows programs as the system reads them: every
// dialog template as the tables give it, with its window style; the
// pictures at their sizes; and the windows that the dialog manager and the
// property sheet build from the templates.

#include "resources/DialogTemplates.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::string Narrow(const wchar_t* text, size_t length)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Walks a DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items.
class TemplateReader {
public:
    explicit TemplateReader(const void* data) : m_base(static_cast<const BYTE*>(data)), m_at(m_base) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    BYTE Byte() { return Take<BYTE>(); }
    // A name or an ordinal: "#n" for an ordinal, else the text in UTF-8.
    std::string NameOrOrdinal()
    {
        if (Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return Text();
    }
    std::string Text()
    {
        const wchar_t* start = reinterpret_cast<const wchar_t*>(m_at);
        size_t length = 0;
        while (Word() != 0)
            ++length;
        return Narrow(start, length);
    }
    void Skip(size_t bytes) { m_at += bytes; }
    void AlignToDword() { m_at = m_base + ((m_at - m_base + 3) & ~static_cast<ptrdiff_t>(3)); }

private:
    template <typename T> T Take()
    {
        T value;
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    WORD Peek() const
    {
        WORD value;
        std::memcpy(&value, m_at, sizeof value);
        return value;
    }
    const BYTE* m_base;
    const BYTE* m_at;
};

struct ItemRecord {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::string windowClass;  // lower case; the predefined classes by name
    std::string title;
};

struct DialogRecord {
    WORD version, signature;
    DWORD style;
    short cx, cy;
    std::string caption;
    WORD pointSize;
    std::string face;
    std::vector<ItemRecord> items;
};

std::string ClassName(const std::string& nameOrOrdinal)
{
    static const std::map<std::string, std::string> predefined = {
        {"#128", "button"}, {"#129", "edit"}, {"#130", "static"}, {"#131", "listbox"}, {"#133", "combobox"}};
    auto found = predefined.find(nameOrOrdinal);
    return found != predefined.end() ? found->second : Lower(nameOrOrdinal);
}

bool LoadDialogRecord(int id, DialogRecord& dialog)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (resource == nullptr)
        return false;
    TemplateReader read(LockResource(LoadResource(nullptr, resource)));
    dialog.version = read.Word();
    dialog.signature = read.Word();
    read.Dword();  // help id
    read.Dword();  // extended style
    dialog.style = read.Dword();
    WORD count = read.Word();
    read.Short();
    read.Short();
    dialog.cx = read.Short();
    dialog.cy = read.Short();
    read.NameOrOrdinal();  // menu
    read.NameOrOrdinal();  // window class
    dialog.caption = read.Text();
    dialog.pointSize = read.Word();
    read.Word();  // weight
    read.Byte();  // italic
    read.Byte();  // character set
    dialog.face = read.Text();
    for (WORD i = 0; i < count; ++i) {
        read.AlignToDword();
        ItemRecord item{};
        read.Dword();  // help id
        read.Dword();  // extended style
        item.style = read.Dword();
        item.x = read.Short();
        item.y = read.Short();
        item.cx = read.Short();
        item.cy = read.Short();
        item.id = static_cast<int>(read.Dword());
        item.windowClass = ClassName(read.NameOrOrdinal());
        item.title = read.NameOrOrdinal();
        read.Skip(read.Word());  // creation data
        dialog.items.push_back(item);
    }
    return true;
}

// The windows as they must stand: pages are disabled children of the
// sheet, the confirmation window has no system menu (so no close box), the
// search notice has a frame but no caption and is centred.
const std::map<int, DWORD> kDialogStyles = {
    {IDD_ABOUTBOX, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SYSMODAL | DS_SETFONT},
    {IDD_WELCOME, WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT},
    {IDD_PORTS, WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT},
    {IDD_PATH, WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT},
    {IDD_CONFIRM, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT},
    {IDD_SEARCH_NOTICE, WS_POPUP | WS_VISIBLE | WS_DLGFRAME | DS_CENTER | DS_SETFONT},
};

struct KindStyle {
    const char* windowClass;
    DWORD mask;   // the bits compared
    DWORD style;  // their values
};

KindStyle ExpectedStyle(const ControlTemplate& control)
{
    const DWORD align = (control.style & kCenter) ? SS_CENTER : (control.style & kRight) ? SS_RIGHT : SS_LEFT;
    switch (control.kind) {
    case ControlKind::Static:
        return {"static", SS_TYPEMASK, align};
    case ControlKind::Bitmap:
        return {"static", SS_TYPEMASK, SS_BITMAP};
    case ControlKind::Icon:
        return {"static", SS_TYPEMASK, SS_ICON};
    case ControlKind::EtchedLine:
        return {"static", SS_TYPEMASK, SS_ETCHEDHORZ};
    case ControlKind::PushButton:
        return {"button", BS_TYPEMASK, BS_PUSHBUTTON};
    case ControlKind::DefPushButton:
        return {"button", BS_TYPEMASK, BS_DEFPUSHBUTTON};
    case ControlKind::OwnerDrawButton:
        return {"button", BS_TYPEMASK, BS_OWNERDRAW};
    case ControlKind::RadioButton:
        return {"button", BS_TYPEMASK, BS_AUTORADIOBUTTON};
    case ControlKind::Edit:
        return {"edit", ES_MULTILINE | ES_AUTOHSCROLL | WS_BORDER, ES_AUTOHSCROLL | WS_BORDER};
    case ControlKind::DropDownList:
        return {"combobox", 0x3 | CBS_SORT | WS_VSCROLL, CBS_DROPDOWNLIST | WS_VSCROLL};
    case ControlKind::OwnerDrawListBox: {
        const DWORD list = LBS_SORT | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
                           WS_VSCROLL | WS_BORDER;
        return {"listbox", list | LBS_OWNERDRAWFIXED, list};
    }
    case ControlKind::ProgressBar:
        return {"msctls_progress32", 0, 0};
    }
    return {"", 0, 0};
}

TEST(ResourceTemplatesTest, EveryDialogAsItsTable)
{
    ASSERT_EQ(AllDialogTemplates().size(), kDialogStyles.size());
    for (const DialogTemplate& table : AllDialogTemplates()) {
        SCOPED_TRACE("dialog " + std::to_string(table.id));
        DialogRecord dialog;
        ASSERT_TRUE(LoadDialogRecord(table.id, dialog));
        EXPECT_EQ(dialog.version, 1);
        EXPECT_EQ(dialog.signature, 0xFFFF);
        EXPECT_EQ(dialog.style, kDialogStyles.at(table.id));
        EXPECT_EQ(dialog.cx, table.width);
        EXPECT_EQ(dialog.cy, table.height);
        EXPECT_EQ(dialog.caption, table.caption);
        EXPECT_EQ(dialog.pointSize, table.pointSize);
        EXPECT_EQ(dialog.face, table.fontName);
        ASSERT_EQ(dialog.items.size(), table.controls.size());
        for (size_t i = 0; i < table.controls.size(); ++i) {
            const ControlTemplate& control = table.controls[i];
            const ItemRecord& item = dialog.items[i];
            SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(control.id));
            EXPECT_EQ(item.id, control.id);
            EXPECT_EQ(item.x, control.x);
            EXPECT_EQ(item.y, control.y);
            EXPECT_EQ(item.cx, control.width);
            EXPECT_EQ(item.cy, control.height);
            bool picture = control.kind == ControlKind::Bitmap || control.kind == ControlKind::Icon;
            EXPECT_EQ(item.title, picture ? std::string("#") + control.text : std::string(control.text));
            KindStyle expected = ExpectedStyle(control);
            EXPECT_EQ(item.windowClass, expected.windowClass);
            EXPECT_EQ(item.style & expected.mask, expected.style);
            EXPECT_TRUE(item.style & WS_CHILD);
            EXPECT_EQ((item.style & WS_VISIBLE) != 0, !(control.style & kHidden));
            EXPECT_EQ((item.style & WS_GROUP) != 0, (control.style & kGroup) != 0);
            EXPECT_EQ((item.style & WS_TABSTOP) != 0, (control.style & kTabStop) != 0);
            EXPECT_EQ((item.style & WS_DISABLED) != 0, (control.style & kDisabled) != 0);
        }
    }
}

// The sizes in an icon's directory (RT_GROUP_ICON).
std::vector<int> IconSizes(const char* name)
{
    std::vector<int> sizes;
    HRSRC resource = FindResourceA(nullptr, name, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (resource == nullptr)
        return sizes;
    TemplateReader read(LockResource(LoadResource(nullptr, resource)));
    read.Word();  // reserved
    read.Word();  // type
    WORD count = read.Word();
    for (WORD i = 0; i < count; ++i) {
        BYTE width = read.Byte();
        sizes.push_back(width == 0 ? 256 : width);
        read.Skip(13);  // height, colours, reserved, planes, bit count, size, id
    }
    return sizes;
}

const char* Name(const char* name)
{
    // Digits name a numeric resource.
    return std::strspn(name, "0123456789") == std::strlen(name) ? MAKEINTRESOURCEA(std::atoi(name)) : name;
}

TEST(ResourceTemplatesTest, PicturesAtTheirSizes)
{
    struct {
        const char* name;
        LONG width, height;
    } bitmaps[] = {{kBitmapWizard, 107, 263}, {kBitmapAboutUp, 48, 48}, {kBitmapAboutDown, 48, 48}};
    for (auto [name, width, height] : bitmaps) {
        SCOPED_TRACE(name);
        HANDLE image = LoadImageA(GetModuleHandleA(nullptr), Name(name), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        ASSERT_NE(image, nullptr);
        BITMAP bitmap{};
        ASSERT_NE(GetObjectA(image, sizeof bitmap, &bitmap), 0);
        EXPECT_EQ(bitmap.bmWidth, width);
        EXPECT_EQ(bitmap.bmHeight, height);
        EXPECT_EQ(bitmap.bmBitsPixel, 4);  // 16 colours
        DeleteObject(image);
    }
    for (const char* name : {kIconApplication, kIconInformation, kIconQuestion, kIconStop}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(IconSizes(Name(name)), (std::vector<int>{16, 32, 48}));
        for (int size : {16, 32}) {
            HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), Name(name), IMAGE_ICON, size, size, 0);
            EXPECT_NE(icon, nullptr) << size;
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
    HRSRC manifest = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
    ASSERT_NE(manifest, nullptr);
    std::string text(static_cast<const char*>(LockResource(LoadResource(nullptr, manifest))),
                     SizeofResource(nullptr, manifest));
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

std::string WindowClass(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return Lower(name);
}

// The children the dialog manager made, in template order, against the
// table: class, id, visibility, and the pictures the statics show.
void ExpectControls(HWND dialog, const DialogTemplate& table)
{
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ControlTemplate& control : table.controls) {
        SCOPED_TRACE("id " + std::to_string(control.id));
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(WindowClass(child), ExpectedStyle(control).windowClass);
        EXPECT_EQ(GetDlgCtrlID(child), control.id);
        EXPECT_EQ((GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) != 0, !(control.style & kHidden));
        if (control.kind == ControlKind::Bitmap) {
            HANDLE shown = reinterpret_cast<HANDLE>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
            HANDLE named = LoadImageA(GetModuleHandleA(nullptr), Name(control.text), IMAGE_BITMAP, 0, 0, 0);
            BITMAP bitmap{}, expected{};
            ASSERT_NE(GetObjectA(shown, sizeof bitmap, &bitmap), 0);
            ASSERT_NE(GetObjectA(named, sizeof expected, &expected), 0);
            EXPECT_EQ(bitmap.bmWidth, expected.bmWidth);
            EXPECT_EQ(bitmap.bmHeight, expected.bmHeight);
            DeleteObject(named);
        }
        if (control.kind == ControlKind::Icon) {
            EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0);
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
}

class DialogWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&controls));
        m_owner = CreateWindowExA(0, "Static", "owner", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
        // Wine without a display (no DISPLAY, no "null" graphics driver in
        // HKCU\Software\Wine\Drivers) makes no windows at all.
        if (m_owner == nullptr)
            GTEST_SKIP() << "no window can be made here (error " << GetLastError() << ")";
    }
    void TearDown() override
    {
        if (m_owner != nullptr)
            DestroyWindow(m_owner);
    }
    HWND m_owner = nullptr;
};

TEST_F(DialogWindowsTest, EveryTemplateMakesItsWindow)
{
    for (const DialogTemplate& table : AllDialogTemplates()) {
        SCOPED_TRACE("dialog " + std::to_string(table.id));
        // The pictures of the statics come from the module the template is
        // taken from.
        HWND dialog =
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(table.id), m_owner, QuietDialog, 0);
        ASSERT_NE(dialog, nullptr) << GetLastError();
        ExpectControls(dialog, table);
        LONG style = GetWindowLongA(dialog, GWL_STYLE);
        EXPECT_EQ((style & WS_SYSMENU) != 0, (table.windowStyle & kSystemMenu) != 0);
        EXPECT_EQ((style & WS_CHILD) != 0, (table.windowStyle & kPage) != 0);
        char caption[128] = {};
        GetWindowTextA(dialog, caption, sizeof caption);
        EXPECT_STREQ(caption, table.caption);
        DestroyWindow(dialog);
    }
}

// The three pages in a wizard sheet, as the wizard runs them: the sheet
// shows the current page's caption, and the page its picture.
TEST_F(DialogWindowsTest, PagesInAWizardSheet)
{
    PROPSHEETPAGEA pages[3] = {};
    const int ids[3] = {IDD_WELCOME, IDD_PORTS, IDD_PATH};
    for (int i = 0; i < 3; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = GetModuleHandleA(nullptr);
        pages[i].pszTemplate = MAKEINTRESOURCEA(ids[i]);
        pages[i].pfnDlgProc = QuietDialog;
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_MODELESS;
    header.hwndParent = m_owner;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = "";
    header.nPages = 3;
    header.ppsp = pages;
    HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
    ASSERT_NE(sheet, nullptr);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("page " + std::to_string(ids[i]));
        PropSheet_SetCurSel(sheet, nullptr, i);
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(GetWindowLongA(page, GWL_STYLE) & (WS_CHILD | WS_DISABLED), WS_CHILD);
        ExpectControls(page, *FindDialogTemplate(ids[i]));
        char title[128] = {};
        GetWindowTextA(sheet, title, sizeof title);
        EXPECT_STREQ(title, FindDialogTemplate(ids[i])->caption);
    }
    DestroyWindow(sheet);
}

} // namespace
