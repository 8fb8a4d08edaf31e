#pragma once
// Reads settings files in the profile (INI) format with the rules of the
// classic profile-string reader: section and key names match regardless of
// letter case, values are trimmed and lose one pair of enclosing quotes, a
// missing section or key gives the caller's default, and a value is cut to
// its holder's size less one. A ';' inside a value is part of the value; only
// a line that begins with ';' is a comment.

#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

class ProfileReader {
public:
    // Reads the whole stream, however long. False when reading failed; what
    // was read up to then is kept.
    bool Load(std::FILE* stream);

    std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          std::size_t holderSize) const;

private:
    static int OnValue(void* user, const char* section, const char* name, const char* value);
    std::map<std::string, std::string> m_values;  // "section\nkey", lower case -> first value
};
