#include "app/ProfileReader.h"

#include "app/Text.h"

#include <ini.h>

namespace {

// The INI parser ends a value at " ;" and joins indented lines to the key
// before them; the profile reader does neither. The line source hides both:
// it drops leading blanks, so no line looks like a continuation, and it
// stands a placeholder in for ';' inside key lines, which the value handler
// turns back.
constexpr char kSemicolonStandIn = '\x01';

struct LineSource {
    std::FILE* stream;
    bool failed = false;
};

// fgets-like: one line per call, ended by LF, CR or CR LF. A line longer than
// the parser's buffer is cut, and its rest is skipped rather than read as a
// line of its own.
char* NextLine(char* str, int num, void* user)
{
    auto* source = static_cast<LineSource*>(user);
    int length = 0;
    bool any = false;
    int c;
    while ((c = std::getc(source->stream)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (c == '\r') {
            int next = std::getc(source->stream);
            if (next != '\n' && next != EOF)
                std::ungetc(next, source->stream);
            break;
        }
        if (length == 0 && (c == ' ' || c == '\t'))
            continue;
        if (length < num - 1)
            str[length++] = static_cast<char>(c);
    }
    if (std::ferror(source->stream))
        source->failed = true;
    if (!any)
        return nullptr;
    str[length] = '\0';
    if (str[0] != ';' && str[0] != '#' && str[0] != '[') {
        for (int i = 0; i < length; ++i)
            if (str[i] == ';')
                str[i] = kSemicolonStandIn;
    }
    return str;
}

std::string Key(std::string_view section, std::string_view key)
{
    return ToLowerAscii(section) + '\n' + ToLowerAscii(key);
}

} // namespace

int ProfileReader::OnValue(void* user, const char* section, const char* name, const char* value)
{
    auto* self = static_cast<ProfileReader*>(user);
    std::string text(value);
    for (char& c : text)
        if (c == kSemicolonStandIn)
            c = ';';
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    // The first occurrence of a key counts, as with the profile reader.
    self->m_values.emplace(Key(section, name), std::move(text));
    return 1;
}

bool ProfileReader::Load(std::FILE* stream)
{
    LineSource source{stream};
    ini_parse_stream(&NextLine, &source, &ProfileReader::OnValue, this);
    return !source.failed;
}

std::string ProfileReader::GetString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::size_t holderSize) const
{
    auto found = m_values.find(Key(section, key));
    std::string_view value = found != m_values.end() ? std::string_view(found->second) : defaultValue;
    return CutText(value, holderSize > 0 ? holderSize - 1 : 0);
}
