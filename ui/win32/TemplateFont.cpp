#include "ui/win32/TemplateFont.h"

#include <cstring>

namespace {

// The fixed part of an extended template: version, signature, help id,
// extended style, style, item count, position and size.
constexpr std::size_t kFixedPart = 26;
constexpr std::size_t kStyleAt = 12;
constexpr std::uint32_t kSetFontStyle = 0x40;  // DS_SETFONT
// Size, weight, italic and character set, before the font's name.
constexpr std::size_t kFontFixedPart = 6;

// Reads the template's 16-bit units; a unit beyond its end reads as 0.
class TemplateReader {
public:
    explicit TemplateReader(std::span<const char> data) : m_data(data) {}

    std::uint16_t Word(std::size_t at) const
    {
        std::uint16_t value = 0;
        if (at + 2 <= m_data.size())
            std::memcpy(&value, m_data.data() + at, 2);
        return value;
    }
    std::uint32_t Dword(std::size_t at) const
    {
        std::uint32_t value = 0;
        if (at + 4 <= m_data.size())
            std::memcpy(&value, m_data.data() + at, 4);
        return value;
    }
    // A zero-terminated UTF-16 text from at: the position after it.
    std::size_t SkipString(std::size_t at) const
    {
        for (std::uint16_t c = 1; c != 0 && at < m_data.size(); at += 2)
            c = Word(at);
        return at;
    }
    // None (0), a number (0xFFFF and the number) or a name.
    std::size_t SkipNameOrNumber(std::size_t at) const { return Word(at) == 0xFFFF ? at + 4 : SkipString(at); }

private:
    std::span<const char> m_data;
};

void AppendWord(std::vector<char>& out, std::uint16_t value)
{
    const char* bytes = reinterpret_cast<const char*>(&value);
    out.insert(out.end(), bytes, bytes + 2);
}

}  // namespace

std::optional<FontPlace> FindTemplateFont(std::span<const char> dialogTemplate)
{
    if (dialogTemplate.size() < kFixedPart)
        return std::nullopt;
    const TemplateReader read(dialogTemplate);
    if (read.Word(0) != 1 || read.Word(2) != 0xFFFF || (read.Dword(kStyleAt) & kSetFontStyle) == 0)
        return std::nullopt;
    // After the fixed part: menu, class (each none, a number or a name),
    // title; then the font.
    std::size_t at = read.SkipNameOrNumber(kFixedPart);  // menu
    at = read.SkipNameOrNumber(at);                      // class
    at = read.SkipString(at);                            // title
    const std::size_t fontAt = at;
    at = read.SkipString(at + kFontFixedPart);  // the font's name
    const std::size_t itemsAt = (at + 3) & ~std::size_t(3);
    if (itemsAt > dialogTemplate.size())
        return std::nullopt;
    return FontPlace{fontAt, itemsAt};
}

std::vector<char> EncodeTemplateFont(const TemplateFont& font)
{
    std::vector<char> out;
    AppendWord(out, font.pointSize);
    AppendWord(out, font.weight);
    out.push_back(static_cast<char>(font.italic));
    out.push_back(static_cast<char>(font.charset));
    for (unsigned char c : font.name)
        AppendWord(out, c);
    AppendWord(out, 0);
    return out;
}

std::vector<char> WithTemplateFont(std::span<const char> dialogTemplate, const TemplateFont& font)
{
    const std::optional<FontPlace> place = FindTemplateFont(dialogTemplate);
    if (!place)
        return {};
    std::vector<char> copy(dialogTemplate.begin(), dialogTemplate.begin() + static_cast<std::ptrdiff_t>(place->fontAt));
    const std::vector<char> encoded = EncodeTemplateFont(font);
    copy.insert(copy.end(), encoded.begin(), encoded.end());
    while (copy.size() % 4 != 0)
        copy.push_back('\0');
    copy.insert(copy.end(), dialogTemplate.begin() + static_cast<std::ptrdiff_t>(place->itemsAt), dialogTemplate.end());
    return copy;
}
