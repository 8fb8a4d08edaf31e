#pragma once
// Firmware files in Intel HEX text form, checked whole before a single byte
// of them goes to a modem: a file the modem would take only in part must
// never be started.

#include "base/Paths.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HexRecord {
    std::string line;         // the record as it goes on the wire, with its CR LF
    unsigned lineNumber = 0;  // in the file, from 1
    std::uint8_t type = 0;    // 00 data ... 05 start linear address
};

struct HexFile {
    std::vector<HexRecord> records;
    std::uint64_t wireBytes = 0;  // all records with their CR LF
};

// The longest records the modem takes: its line buffer holds 127 characters
// (11 + 2N and CR LF for N data bytes). A loader line goes to the modem's
// command interpreter behind the five characters "at&&f", and with echo on
// its answer is the whole line again and "\r\nOK\r\n", which must fit the
// 128 bytes a reply may have: 5 + 13 + 2N + 6 <= 128.
inline constexpr std::size_t kMaxImageDataBytes = 57;
inline constexpr std::size_t kMaxLoaderDataBytes = 52;
// No modem's flash comes near this; a larger file is not firmware.
inline constexpr std::uint64_t kMaxHexFileBytes = 64u * 1024 * 1024;

// Reads and checks the file: every record starts with ':', holds hex digits
// only, has a byte count that matches its length, a correct checksum, a
// record type 00 to 05 and at most maxDataBytes data bytes; the last record
// is the end-of-file record. Lines end in CR LF or LF; blank lines and an
// end-of-file byte (0x1A) may follow the last record. False with error
// naming the file, the line and what is wrong.
bool LoadHexFile(const std::string& path, std::size_t maxDataBytes, HexFile& file, std::string& error);

// The same check on a file read before (ReadRegularFile with
// kMaxHexFileBytes), so that the bytes checked are the bytes sent.
bool CheckHexContents(const FileContents& contents, const std::string& path, std::size_t maxDataBytes, HexFile& file,
                      std::string& error);

// The same check on text already read; name stands for the file in errors.
bool CheckHexText(std::string_view text, const std::string& name, std::size_t maxDataBytes, HexFile& file,
                  std::string& error);
