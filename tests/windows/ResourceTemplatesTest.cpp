// The resources of the Windows programs as the system reads them: every
// dialog template as its table gives it, with its window style, and the
// pictures at their sizes.

#include "resources/DialogTemplates.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

namespace {

// Reads a resource's fields in turn (DLGTEMPLATEEX, DLGITEMTEMPLATEEX).
struct Reader {
    const BYTE* at;
    template <typename T = WORD>
    T Take()
    {
        T value;
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }
    // "#n" for an ordinal, else the text (ASCII in these templates).
    std::string NameOrOrdinal()
    {
        std::string text;
        for (WORD c = Take(); c != 0; c = Take())
            if (c == 0xFFFF)
                return "#" + std::to_string(Take());
            else
                text += static_cast<char>(c);
        return text;
    }
};

const BYTE* Resource(LPCSTR name, int type, DWORD* size = nullptr)
{
    HRSRC found = FindResourceA(nullptr, name, MAKEINTRESOURCEA(type));
    if (size != nullptr)
        *size = found ? SizeofResource(nullptr, found) : 0;
    return found ? static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found))) : nullptr;
}

LPCSTR Name(const char* name)
{
    return std::strspn(name, "0123456789") == std::strlen(name) ? MAKEINTRESOURCEA(std::atoi(name)) : name;
}

TEST(ResourceTemplatesTest, EveryDialogAsItsTable)
{
    // Pages are disabled children of the sheet; the confirmation window has
    // no system menu (no close box); the notice a frame but no caption.
    const std::map<int, DWORD> styles = {
        {IDD_ABOUTBOX, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SYSMODAL | DS_SETFONT},
        {IDD_WELCOME, WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT},
        {IDD_PORTS, WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT},
        {IDD_PATH, WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT},
        {IDD_CONFIRM, WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT},
        {IDD_SEARCH_NOTICE, WS_POPUP | WS_VISIBLE | WS_DLGFRAME | DS_CENTER | DS_SETFONT},
    };
    ASSERT_EQ(AllDialogTemplates().size(), styles.size());
    for (const DialogTemplate& table : AllDialogTemplates()) {
        SCOPED_TRACE("dialog " + std::to_string(table.id));
        const BYTE* data = Resource(MAKEINTRESOURCEA(table.id), 5 /* RT_DIALOG */);
        ASSERT_NE(data, nullptr);
        Reader read{data};
        EXPECT_EQ(read.Take<DWORD>(), 0xFFFF0001u);  // DLGTEMPLATEEX, version 1
        read.at += 8;                                // help id, extended style
        EXPECT_EQ(read.Take<DWORD>(), styles.at(table.id));
        WORD count = read.Take();
        read.at += 4;  // x, y
        EXPECT_EQ(read.Take<short>(), table.width);
        EXPECT_EQ(read.Take<short>(), table.height);
        read.NameOrOrdinal();  // menu
        read.NameOrOrdinal();  // class
        EXPECT_EQ(read.NameOrOrdinal(), table.caption);
        EXPECT_EQ(read.Take(), table.pointSize);
        read.at += 4;  // weight, italic, character set
        EXPECT_EQ(read.NameOrOrdinal(), table.fontName);
        ASSERT_EQ(count, table.controls.size());
        for (const ControlTemplate& control : table.controls) {
            SCOPED_TRACE("control " + std::to_string(control.id) + " " + control.text);
            read.at += (4 - (read.at - data) % 4) % 4;
            read.at += 8;  // help id, extended style
            DWORD style = read.Take<DWORD>();
            auto rect = read.Take<std::array<short, 4>>();
            EXPECT_EQ(rect, (std::array<short, 4>{short(control.x), short(control.y), short(control.width),
                                                  short(control.height)}));
            EXPECT_EQ(static_cast<int>(read.Take<DWORD>()), control.id);
            read.NameOrOrdinal();  // class
            bool picture = control.kind == ControlKind::Bitmap || control.kind == ControlKind::Icon;
            EXPECT_EQ(read.NameOrOrdinal(), picture ? std::string("#") + control.text : std::string(control.text));
            read.at += read.Take();  // creation data
            EXPECT_EQ(style & (WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_DISABLED),
                      ((control.style & kHidden) ? 0 : WS_VISIBLE) | ((control.style & kGroup) ? WS_GROUP : 0) |
                          ((control.style & kTabStop) ? WS_TABSTOP : 0) |
                          ((control.style & kDisabled) ? WS_DISABLED : 0));
            if (control.kind == ControlKind::Static) {
                EXPECT_EQ((style & SS_NOPREFIX) != 0, (control.style & kData) != 0);
            }
        }
    }
}

TEST(ResourceTemplatesTest, PicturesAtTheirSizes)
{
    for (auto [name, width, height] : {std::tuple{kBitmapWizard, 81, 198}, std::tuple{"P130_330", 134, 330},
                                       std::tuple{kBitmapAboutUp, 48, 48}, std::tuple{"PABOUTD_90", 90, 90}}) {
        SCOPED_TRACE(name);
        HANDLE image = LoadImageA(GetModuleHandleA(nullptr), Name(name), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        BITMAP bitmap{};
        ASSERT_NE(GetObjectA(image, sizeof bitmap, &bitmap), 0);
        EXPECT_EQ(std::tuple(bitmap.bmWidth, bitmap.bmHeight, bitmap.bmBitsPixel), std::tuple(width, height, 4));
        DeleteObject(image);
    }
    for (const char* name : {kIconApplication, kIconInformation, kIconQuestion, kIconStop}) {
        SCOPED_TRACE(name);
        for (int side : {16, 32}) {
            HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), Name(name), IMAGE_ICON, side, side, 0);
            EXPECT_NE(icon, nullptr) << side;
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
    DWORD size = 0;
    const BYTE* manifest = Resource(MAKEINTRESOURCEA(1), 24 /* RT_MANIFEST */, &size);
    ASSERT_NE(manifest, nullptr);
    EXPECT_NE(std::string(reinterpret_cast<const char*>(manifest), size).find("Microsoft.Windows.Common-Controls"),
              std::string::npos);
}

}  // namespace
