// The wizard's pages put into the property sheet's font, read field by
// field as the system reads a template: the sheet's font, and after it
// every control of the table in the table's order with its id, class and
// rectangle, each item on its four-byte boundary.

#include "resources/DialogTemplates.h"
#include "ui/win32/TemplateFont.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstring>
#include <span>
#include <string>

namespace {

const TemplateFont kSheetFont = {8, FW_NORMAL, 0, DEFAULT_CHARSET, "MS Shell Dlg"};

std::span<const char> DialogResource(int id)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    const char* data = found ? static_cast<const char*>(LockResource(LoadResource(nullptr, found))) : nullptr;
    return data != nullptr ? std::span<const char>(data, SizeofResource(nullptr, found)) : std::span<const char>();
}

// Reads a template's fields in turn, never past its end.
struct Reader {
    const std::vector<char>& data;
    std::size_t at = 0;
    bool overrun = false;
    template <typename T = WORD>
    T Take()
    {
        T value{};
        if (at + sizeof value > data.size()) {
            overrun = true;
            at = data.size();
            return value;
        }
        std::memcpy(&value, data.data() + at, sizeof value);
        at += sizeof value;
        return value;
    }
    // "#n" for an ordinal, else the text (ASCII in these templates).
    std::string NameOrOrdinal()
    {
        std::string text;
        for (WORD c = Take(); c != 0 && !overrun; c = Take())
            if (c == 0xFFFF)
                return "#" + std::to_string(Take());
            else
                text += static_cast<char>(c);
        return text;
    }
    void Align() { at = (at + 3) & ~std::size_t(3); }
};

// The class as the resource compiler names it.
std::string ClassOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::OwnerDrawButton:
    case ControlKind::RadioButton:
        return "BUTTON";
    case ControlKind::Edit:
        return "EDIT";
    case ControlKind::OwnerDrawListBox:
        return "LISTBOX";
    case ControlKind::DropDownList:
        return "COMBOBOX";
    case ControlKind::ProgressBar:
        return "MSCTLS_PROGRESS32";
    default:
        return "STATIC";
    }
}

TEST(PageFontTest, PagesInTheSheetsFontKeepTheirControls)
{
    for (int id : {IDD_WELCOME, IDD_PORTS, IDD_PATH}) {
        SCOPED_TRACE("page " + std::to_string(id));
        const std::vector<char> page = WithTemplateFont(DialogResource(id), kSheetFont);
        ASSERT_FALSE(page.empty());
        const DialogTemplate* table = FindDialogTemplate(id);
        Reader read{page};
        EXPECT_EQ(read.Take(), 1);
        EXPECT_EQ(read.Take(), 0xFFFF);
        read.at += 12;  // help id, extended style, style
        EXPECT_EQ(read.Take(), table->controls.size());
        read.at += 4;  // position
        EXPECT_EQ(read.Take<short>(), table->width);
        EXPECT_EQ(read.Take<short>(), table->height);
        EXPECT_EQ(read.NameOrOrdinal(), "");  // menu
        EXPECT_EQ(read.NameOrOrdinal(), "");  // class
        EXPECT_EQ(read.NameOrOrdinal(), table->caption);
        EXPECT_EQ(read.Take(), kSheetFont.pointSize);
        EXPECT_EQ(read.Take(), kSheetFont.weight);
        EXPECT_EQ(read.Take<BYTE>(), kSheetFont.italic);
        EXPECT_EQ(read.Take<BYTE>(), kSheetFont.charset);
        EXPECT_EQ(read.NameOrOrdinal(), kSheetFont.name);
        for (const ControlTemplate& control : table->controls) {
            SCOPED_TRACE("control " + std::to_string(control.id) + " " + control.text);
            read.Align();
            read.at += 12;  // help id, extended style, style
            EXPECT_EQ(read.Take<short>(), control.x);
            EXPECT_EQ(read.Take<short>(), control.y);
            EXPECT_EQ(read.Take<short>(), control.width);
            EXPECT_EQ(read.Take<short>(), control.height);
            EXPECT_EQ(static_cast<int>(read.Take<DWORD>()), control.id);
            std::string className = read.NameOrOrdinal();
            for (char& c : className)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(className, ClassOf(control.kind));
            read.NameOrOrdinal();    // text
            read.at += read.Take();  // creation data
        }
        EXPECT_FALSE(read.overrun);
        EXPECT_EQ(read.at, page.size());
    }
}

}  // namespace
