#include "flash/HexFile.h"

#include <cstdio>

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Hex2(unsigned value)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

std::string Describe(unsigned char c)
{
    if (c >= 0x20 && c < 0x7F)
        return std::string("'") + static_cast<char>(c) + "'";
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

// Checks one record (without its line end); empty when it is sound.
std::string CheckRecord(std::string_view record, std::size_t maxDataBytes, std::uint8_t& type)
{
    if (record.empty())
        return "empty line";
    if (record[0] != ':')
        return "the record does not start with ':' (it starts with " + Describe(static_cast<unsigned char>(record[0])) +
               ")";
    for (std::size_t i = 1; i < record.size(); ++i)
        if (HexValue(record[i]) < 0)
            return "character " + std::to_string(i + 1) + " is " + Describe(static_cast<unsigned char>(record[i])) +
                   ", not a hex digit";
    if (record.size() < 11)
        return "the record is too short (" + std::to_string(record.size()) + " characters; at least 11 are needed)";
    if ((record.size() - 1) % 2 != 0)
        return "the record has an odd number of hex digits";

    std::vector<unsigned> bytes;
    for (std::size_t i = 1; i + 1 < record.size(); i += 2)
        bytes.push_back(static_cast<unsigned>(HexValue(record[i]) * 16 + HexValue(record[i + 1])));
    std::size_t count = bytes[0];
    if (bytes.size() != count + 5)
        return "the byte count says " + std::to_string(count) + " data bytes but the record holds " +
               std::to_string(bytes.size() >= 5 ? bytes.size() - 5 : 0);
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        sum += bytes[i];
    unsigned expected = (0x100u - (sum & 0xFFu)) & 0xFFu;
    if (bytes.back() != expected)
        return "wrong checksum " + Hex2(bytes.back()) + " (the record's bytes give " + Hex2(expected) + ")";
    type = static_cast<std::uint8_t>(bytes[3]);
    if (type > 5)
        return "unknown record type " + Hex2(type);
    if (count > maxDataBytes)
        return "the record holds " + std::to_string(count) + " data bytes; the modem takes at most " +
               std::to_string(maxDataBytes) + " in a line of this file";
    return {};
}

}  // namespace

bool LoadHexFile(const std::string& path, std::size_t maxDataBytes, HexFile& file, std::string& error)
{
    return CheckHexContents(ReadRegularFile(path, kMaxHexFileBytes), path, maxDataBytes, file, error);
}

bool CheckHexContents(const FileContents& contents, const std::string& path, std::size_t maxDataBytes, HexFile& file,
                      std::string& error)
{
    file = HexFile{};
    switch (contents.result) {
    case FileContents::Ok:
        return CheckHexText(contents.bytes, path, maxDataBytes, file, error);
    case FileContents::OpenFailed:
        error = "The file " + path + " could not be opened.";
        return false;
    case FileContents::NotAFile:
        error = "The file " + path + " could not be opened: it is " + contents.what + ", not a file.";
        return false;
    case FileContents::TooLarge:
        error = "The file " + path + " is not a valid Intel HEX file: it is larger than any modem's firmware (" +
                std::to_string(contents.size) + " bytes).";
        return false;
    case FileContents::ReadFailed:
        break;
    }
    error = "The file " + path + " could not be read in full.";
    return false;
}

bool CheckHexText(std::string_view text, const std::string& name, std::size_t maxDataBytes, HexFile& file,
                  std::string& error)
{
    file = HexFile{};
    auto fail = [&](unsigned line, const std::string& what) {
        error = "The file " + name + " is not a valid Intel HEX file: " +
                (line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + what + ".";
        file = HexFile{};
        return false;
    };

    // Old tools end a text file with an end-of-file byte.
    if (!text.empty() && text.back() == '\x1A')
        text.remove_suffix(1);
    if (text.empty())
        return fail(0, "it is empty");
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        return fail(1, "the file starts with a byte-order mark, which is no part of a record");
    // Editors on Windows offer "Unicode", two bytes a character: every
    // other byte is then zero, which no line may hold.
    if (text.size() >= 2 && (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF" ||
                             (text[0] == ':' && text[1] == '\0') || (text[0] == '\0' && text[1] == ':')))
        return fail(0, "it is UTF-16 text, two bytes a character; save it as plain ASCII text");

    bool ended = false;  // the end-of-file record has been read
    unsigned lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++lineNumber;
        std::size_t newline = text.find('\n', pos);
        std::size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
        std::string_view line = text.substr(pos, (newline == std::string_view::npos ? text.size() : newline) - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = next;

        if (line.find('\r') != std::string_view::npos)
            return fail(lineNumber, "a line ends in a lone carriage return; lines must end in CR LF or LF");

        if (ended) {
            // After the end-of-file record only blank lines may follow.
            if (line.empty())
                continue;
            return fail(lineNumber, "data follows the end-of-file record");
        }
        if (line.empty()) {
            if (pos >= text.size())
                break;  // a blank last line: the check below says what is missing
            return fail(lineNumber, "empty line between records");
        }

        HexRecord record;
        std::string problem = CheckRecord(line, maxDataBytes, record.type);
        if (!problem.empty())
            return fail(lineNumber, problem);
        record.line = std::string(line) + "\r\n";
        record.lineNumber = lineNumber;
        file.wireBytes += record.line.size();
        file.records.push_back(std::move(record));
        if (file.records.back().type == 1)
            ended = true;
    }
    if (!ended)
        return fail(0, "the file ends without the end-of-file record (:00000001FF)");
    return true;
}
