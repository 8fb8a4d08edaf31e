#pragma once
// What an image file says about itself and what a modem reports: the same
// record for both, compared field by field before anything is flashed.

#include <cstdint>
#include <string>

struct ModemInfo {
    std::int32_t sectorSize = 0;  // flash sector size: 64, 16, or 0 when not reported
    std::int32_t typeCode = 0;    // 0 unknown, 1 to 5 (see DecodeModemType)
    std::uint16_t checksum = 0;   // checksum of the modem's resident loader
    std::string typeName;         // display name; empty when no type was decoded
};

// How the image can be flashed.
enum LoadPlan {
    LoadNormal = 2,    // the resident loader takes the image after AT&&FGO
    LoadComplete = 3,  // the flash loader file goes first
    NoModem = 5,       // no usable answer: no flashing possible
};

// Mismatch flags of CompareInfo.
enum : std::uint16_t {
    MismatchSectorSize = 1,
    MismatchType = 2,
    MismatchChecksum = 4,
};

inline constexpr std::int32_t kTypeUsb = 5;
