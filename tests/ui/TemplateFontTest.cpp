// The font of a binary dialog template replaced by another, as the Win32
// wizard does for its pages: templates put together here field by field
// with every form of menu, class and title, fonts whose names leave the
// items on either side of a four-byte boundary, and templates of other
// kinds or cut short, which are left alone.

#include "ui/win32/TemplateFont.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kSetFont = 0x40;

// Writes a template's fields, little-endian as the resource compiler does.
class Bytes {
public:
    Bytes& Word(std::uint16_t value) { return Put(&value, 2); }
    Bytes& Dword(std::uint32_t value) { return Put(&value, 4); }
    Bytes& Byte(std::uint8_t value) { return Put(&value, 1); }
    Bytes& Text(const std::string& text)
    {
        for (unsigned char c : text)
            Word(c);
        return Word(0);
    }
    // None: an empty text; a number: 0xFFFF and the number; else a name.
    Bytes& NameOrNumber(const std::string& name)
    {
        if (!name.empty() && name[0] == '#')
            return Word(0xFFFF).Word(static_cast<std::uint16_t>(std::stoi(name.substr(1))));
        return Text(name);
    }
    Bytes& Align()
    {
        while (data.size() % 4 != 0)
            data.push_back('\0');
        return *this;
    }
    Bytes& Append(const std::vector<char>& more)
    {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    std::vector<char> data;

private:
    Bytes& Put(const void* value, std::size_t size)
    {
        const char* bytes = static_cast<const char*>(value);
        data.insert(data.end(), bytes, bytes + size);
        return *this;
    }
};

struct Header {
    std::string menu, windowClass, title;
    std::uint32_t style = kSetFont;
};

// The part of an extended template before its font.
Bytes Head(const Header& h)
{
    Bytes b;
    b.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(h.style).Word(2);
    b.Word(0).Word(0).Word(290).Word(147);
    b.NameOrNumber(h.menu).NameOrNumber(h.windowClass).Text(h.title);
    return b;
}

Bytes Font(const TemplateFont& font)
{
    Bytes b;
    b.Word(font.pointSize).Word(font.weight).Byte(font.italic).Byte(font.charset).Text(font.name);
    return b;
}

// Two controls' items as they follow the font: whatever their bytes, the
// rewriter must carry them over as they are.
std::vector<char> Items()
{
    Bytes b;
    b.Dword(0).Dword(0).Dword(0x50010000).Word(88).Word(101).Word(189).Word(12).Dword(1006);
    b.Word(0xFFFF).Word(0x81).Text("").Word(0).Align();
    b.Dword(0).Dword(0).Dword(0x50010000).Word(218).Word(118).Word(59).Word(14).Dword(1007);
    b.Word(0xFFFF).Word(0x80).Text("Browse").Word(0);
    return b.data;
}

const TemplateFont kPageFont = {10, 700, 1, 0, "System"};
const TemplateFont kSheetFont = {8, 400, 0, 1, "MS Shell Dlg"};

TEST(TemplateFontTest, TheFontIsReplacedAndEverythingElseKept)
{
    const Header headers[] = {
        {"", "", "Modem Flash Loader - Welcome"},
        {"#7", "", "Caption"},
        {"", "#32770", ""},
        {"MENU", "MyClass", "Odd"},
        {"#1", "#2", "Even"},
    };
    const TemplateFont fonts[] = {kPageFont, {8, 400, 0, 1, "A"}, {9, 400, 0, 1, "Tahoma Sans"}};
    for (const Header& header : headers) {
        for (const TemplateFont& from : fonts) {
            for (const TemplateFont& to : {kSheetFont, TemplateFont{12, 400, 0, 0, "Ab"}}) {
                SCOPED_TRACE("menu '" + header.menu + "' class '" + header.windowClass + "' title '" + header.title +
                             "' from " + from.name + " to " + to.name);
                const Bytes head = Head(header);
                Bytes original = head;
                original.Append(Font(from).data).Align().Append(Items());
                Bytes expected = head;
                expected.Append(Font(to).data).Align().Append(Items());

                const std::optional<FontPlace> place = FindTemplateFont(original.data);
                ASSERT_TRUE(place.has_value());
                EXPECT_EQ(place->fontAt, head.data.size());
                EXPECT_EQ(place->itemsAt % 4, 0u);
                EXPECT_EQ(WithTemplateFont(original.data, to), expected.data);
            }
        }
    }
}

TEST(TemplateFontTest, TheFontAsATemplateHoldsIt)
{
    const std::vector<char> encoded = EncodeTemplateFont({8, 400, 0, 1, "MS"});
    const char expected[] = {8, 0, char(0x90), 1, 0, 1, 'M', 0, 'S', 0, 0, 0};
    EXPECT_EQ(encoded, std::vector<char>(expected, expected + sizeof expected));
}

TEST(TemplateFontTest, OtherTemplatesAreLeftAlone)
{
    Bytes good = Head({"", "", "Title"});
    const std::size_t headSize = good.data.size();
    good.Append(Font(kPageFont).data).Align().Append(Items());
    ASSERT_FALSE(WithTemplateFont(good.data, kSheetFont).empty());

    std::vector<char> plain = good.data;  // the older kind: no version and signature
    plain[0] = 0;
    plain[2] = 0;
    plain[3] = 0;
    std::vector<char> noFont = good.data;  // no font named
    noFont[12] = 0;
    std::vector<char> otherVersion = good.data;
    otherVersion[0] = 2;
    const std::vector<char> cases[] = {
        {},
        std::vector<char>(good.data.begin(), good.data.begin() + 25),  // shorter than the fixed part
        plain,
        noFont,
        otherVersion,
        // Cut inside the font's name: the items would begin past the end.
        std::vector<char>(good.data.begin(), good.data.begin() + static_cast<long>(headSize + 8)),
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_FALSE(FindTemplateFont(cases[i]).has_value()) << i;
        EXPECT_TRUE(WithTemplateFont(cases[i], kSheetFont).empty()) << i;
    }
}

}  // namespace
