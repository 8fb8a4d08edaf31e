#include "app/ProfileReader.h"

#include "base/Text.h"

namespace {

// What the profile reader skips around lines, names and values: ASCII white
// space and the end-of-file byte that DOS editors leave behind.
constexpr std::string_view kBlanks = " \t\n\v\f\r\x1a";

std::string_view Trim(std::string_view text)
{
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Names and values are C strings to the profile reader: a zero byte ends them.
std::string UpToZero(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A settings file saved as "Unicode" by a Windows editor, in this system's
// 8-bit form (UTF-8). A broken surrogate becomes the replacement character.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    auto unit = [&](std::size_t i) -> char32_t {
        auto a = static_cast<unsigned char>(bytes[i]);
        auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, c >= 0xD800 && c < 0xE000 ? char32_t{0xFFFD} : c);
    }
    return out;
}

}  // namespace

bool ProfileReader::Load(std::FILE* stream)
{
    std::string bytes;
    char chunk[4096];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, stream)) > 0)
        bytes.append(chunk, count);
    bool read = std::ferror(stream) == 0;
    Parse(bytes);
    return read;
}

void ProfileReader::Parse(std::string_view bytes)
{
    m_sections.clear();
    std::string decoded;
    std::string_view text = bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    } else if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        decoded = Utf16ToUtf8(text.substr(2), text[0] == '\xFE');
        text = decoded;
    }

    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty())
            continue;
        if (line.front() == '[') {
            std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                m_sections.push_back({UpToZero(Trim(line.substr(1, close - 1))), {}});
                continue;
            }
        }
        if (m_sections.empty())
            continue;
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            m_sections.back().entries.push_back({UpToZero(line), std::nullopt});
        else
            m_sections.back().entries.push_back(
                {UpToZero(Trim(line.substr(0, equals))), UpToZero(Trim(line.substr(equals + 1)))});
    }
}

std::string ProfileReader::GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                     std::size_t holderSize) const
{
    const std::size_t room = holderSize > 0 ? holderSize - 1 : 0;
    // Names match regardless of letter case.
    const std::string sectionName = ToLowerAscii(Trim(section));
    const std::string keyName = ToLowerAscii(Trim(key));

    const std::string* value = nullptr;
    for (const Section& candidate : m_sections) {
        if (ToLowerAscii(candidate.name) != sectionName)
            continue;
        for (const Entry& entry : candidate.entries) {
            if (ToLowerAscii(entry.key) == keyName) {
                value = entry.value ? &*entry.value : nullptr;
                break;
            }
        }
        break;
    }

    if (value == nullptr) {
        std::size_t end = defaultValue.find_last_not_of(' ');
        return CutText(defaultValue.substr(0, end == std::string_view::npos ? 0 : end + 1), room);
    }
    std::string_view text = *value;
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        std::string_view inner = text.substr(1, text.size() - 2);
        // The profile reader drops the closing quote as the last character it
        // copied; when the quoted text just fills the holder, that character
        // is the text's own last one instead.
        if (inner.size() == room && room > 0)
            return CutText(inner, room - 1);
        return CutText(inner, room);
    }
    return CutText(text, room);
}
