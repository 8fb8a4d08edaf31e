#pragma once
// Firmware images for tests: Intel HEX text with an identification area in
// its first record, and an independent reader that turns such text (or what
// the simulated modem flashed) into a memory map for comparison.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ImageSpec {
    char type = 'S';  // the type letter the image is meant for
    int sector = 64;  // 64, 16, or 0 for none
    std::uint16_t checksum = 0x1A2B;
    std::size_t dataBytes = 2048;  // after the identification record
    std::size_t recordBytes = 16;
    std::uint32_t base = 0x20;  // start address of the data after the first record
    bool lfOnly = false;        // LF line ends instead of CR LF
    unsigned seed = 7;
};

// One record without its line end, checksum computed.
std::string HexRecordLine(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data);

// An image: the 32-byte identification record at address 0, the data from
// spec.base on (with extended linear address records where needed), and the
// end-of-file record.
std::string MakeImage(const ImageSpec& spec);

// A loader file: data records behind nothing else, and the end-of-file record.
std::string MakeLoader(std::size_t dataBytes = 512, std::size_t recordBytes = 16);

// Address -> byte for every data record, extended addresses applied.
std::map<std::uint32_t, std::uint8_t> HexMemory(const std::string& text);
