#include "base/Text.h"

std::string CutText(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t end = maxBytes;
    // Back off over continuation bytes (10xxxxxx) to the start of the
    // sequence that the cut would split, unless the text is not UTF-8 there.
    std::size_t back = end;
    while (back > 0 && (static_cast<unsigned char>(text[back]) & 0xC0) == 0x80 && end - back < 3)
        --back;
    if (back < end && (static_cast<unsigned char>(text[back]) & 0xC0) == 0xC0)
        end = back;
    return std::string(text.substr(0, end));
}

std::string ToUpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string ToLowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}
