#include "cli/Printable.h"

#include <cstdio>

namespace {

void AppendEscape(std::string& out, unsigned char byte)
{
    switch (byte) {
    case '\r':
        out += "\\r";
        return;
    case '\n':
        out += "\\n";
        return;
    default: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", byte);
        out += hex;
    }
    }
}

}  // namespace

std::string Printable(std::string_view text, bool keepLineBreaks)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\t' || (byte == '\n' && keepLineBreaks)) {
            out += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendEscape(out, byte);
        } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F: CSI (U+009B) and its kin act like ESC [.
            AppendEscape(out, byte);
            AppendEscape(out, static_cast<unsigned char>(text[++i]));
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}
