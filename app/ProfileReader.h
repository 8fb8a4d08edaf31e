#pragma once
// Reads settings files in the profile (INI) format exactly as the Windows
// profile-string reader does, so that one settings file gives the same texts
// on every system:
// - a line is ended by LF, CR or CR LF; blanks, tabs and the other ASCII
//   white-space characters (and the DOS end-of-file byte) around a line, a
//   section name, a key and a value do not count;
// - a line that begins with '[' and has a ']' opens the section named by what
//   lies between the '[' and the LAST ']'; whatever follows that ']' is
//   ignored;
// - any other line is a key line: the key is what comes before the first
//   '=', the value what follows it. A line without '=' names a key without a
//   value, which reads as missing. There is no comment syntax: a line such as
//   "; note" or "# note" is a key line whose key nobody asks for;
// - section and key names match regardless of the letter case of A to Z;
//   only the FIRST section of a name is searched, and in it the first key of
//   a name counts;
// - a value enclosed in a pair of matching quotes (" or ') loses them;
// - a missing section or key gives the caller's default (without trailing
//   blanks); a value is cut to its holder's size less one;
// - a file that begins with a byte-order mark is read in that encoding
//   (UTF-8, UTF-16 little or big endian); lines before the first section
//   belong to no section.

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ProfileReader {
public:
    // Reads the whole stream, however long. False when reading failed; what
    // was read up to then is kept.
    bool Load(std::FILE* stream);

    // Takes the file's bytes, replacing whatever was read before.
    void Parse(std::string_view bytes);

    std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          std::size_t holderSize) const;

private:
    struct Entry {
        std::string key;
        std::optional<std::string> value;  // none: the line had no '='
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    std::vector<Section> m_sections;  // in file order, duplicates kept
};
