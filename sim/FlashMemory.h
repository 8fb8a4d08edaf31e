#pragma once
// The simulated modem's flash memory, and the Intel HEX records it is
// programmed with.
//
// Flash cells can only be cleared (bits go from 1 to 0) until the memory is
// erased. The model keeps that property: programming a cell that was already
// written stores the AND of old and new value, so writing the same data twice
// is harmless while writing different data leaves visibly corrupt content,
// which is what a real modem would end up with.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The simulator's own names: the loader's HexRecord (flash/HexFile.h) is
// another record of another layout, and a program may link both.
namespace sim {

enum class HexRecordType : std::uint8_t {
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegmentAddress = 0x02,
    StartSegmentAddress = 0x03,
    ExtendedLinearAddress = 0x04,
    StartLinearAddress = 0x05,
};

struct HexRecord {
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    std::vector<std::uint8_t> data;
};

enum class HexParseResult {
    Ok,
    NotHex,       // odd digit count or a character that is no hex digit
    BadLength,    // the byte count does not match the bytes present
    BadChecksum,  // the bytes do not sum to zero
    BadType,      // a record type no loader knows, or an address record of the wrong size
};

// Parses the part of a record after its ':' ("LLAAAATT<data>CC"), strictly:
// nothing may follow the checksum.
HexParseResult ParseHexRecord(std::string_view body, HexRecord& record);

// The text of one record, ':' included, upper-case digits, no line end.
std::string FormatHexRecord(const HexRecord& record);

class FlashMemory {
public:
    void Erase() { m_cells.clear(); }
    void Program(std::uint32_t address, std::uint8_t value);

    std::optional<std::uint8_t> Read(std::uint32_t address) const;
    std::size_t WrittenCount() const { return m_cells.size(); }
    const std::map<std::uint32_t, std::uint8_t>& Cells() const { return m_cells; }

    // The content as an Intel HEX file: data records of at most 16 bytes
    // aligned to 16-byte lines, an extended linear address record whenever
    // the upper 16 address bits change, an end-of-file record; CR LF line ends.
    std::string ToIntelHex() const;

private:
    std::map<std::uint32_t, std::uint8_t> m_cells;  // only the written cells
};

// Applies records in file order to a flash memory, keeping the address base
// that extended address records set.
class HexProgrammer {
public:
    explicit HexProgrammer(FlashMemory& flash) : m_flash(flash) {}

    // Programs data records, takes address records, ignores start address
    // records. True for the end-of-file record.
    bool Apply(const HexRecord& record);
    void Reset() { m_base = 0; }

private:
    FlashMemory& m_flash;
    std::uint32_t m_base = 0;
};

// Programs a whole Intel HEX text into flash (line ends CR LF or LF, blank
// lines skipped, everything after the end-of-file record ignored). On
// failure error names the line and what is wrong with it.
bool LoadIntelHex(std::string_view text, FlashMemory& flash, std::string& error);

// Writes the flash content as Intel HEX to path through a temporary file in
// the same directory, so that a reader never sees half a file.
bool WriteIntelHexFile(const FlashMemory& flash, const std::string& path, std::string& error);

}  // namespace sim
