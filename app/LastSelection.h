#pragma once
// The selection of port, baud rate and firmware file, kept between runs in
// "lastsel.dat", a byte-for-byte image of the record.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct FlashTarget;

#pragma pack(push, 1)
struct FlashSelectionRecord {
    std::int32_t BaudRate;  // bits per second, little-endian on disk
    char PortName[5];       // zero-terminated, at most 4 characters
    char HexFilePath[123];  // zero-terminated, at most 122 characters
};
#pragma pack(pop)

static_assert(sizeof(FlashSelectionRecord) == 132, "lastsel.dat holds exactly 132 bytes");
static_assert(offsetof(FlashSelectionRecord, BaudRate) == 0);
static_assert(offsetof(FlashSelectionRecord, PortName) == 4);
static_assert(offsetof(FlashSelectionRecord, HexFilePath) == 9);

inline constexpr std::size_t kSelectionSize = sizeof(FlashSelectionRecord);
inline constexpr std::size_t kMaxPortNameLength = sizeof(FlashSelectionRecord::PortName) - 1;
inline constexpr std::size_t kMaxHexFilePathLength = sizeof(FlashSelectionRecord::HexFilePath) - 1;
inline constexpr std::int32_t kDefaultBaudRate = 57600;
inline constexpr char kLastSelectionFileName[] = "lastsel.dat";
inline constexpr char kDefaultHexFileName[] = "MODEM.HEX";

// The one program-wide selection.
extern FlashSelectionRecord FlashSelection;

// The file image of a record and back. The integer is little-endian on disk
// whatever the host; the texts are copied byte for byte, tails included.
std::array<unsigned char, kSelectionSize> SelectionToBytes(const FlashSelectionRecord& record);
void SelectionFromBytes(FlashSelectionRecord& record, const unsigned char* bytes, std::size_t count);

// The image file offered when nothing else is known: MODEM.HEX in the
// current directory. False when the directory is unknown. A path that would
// not fit HexFilePath comes back empty, for the user to choose the file:
// a cut path would name another file.
bool DefaultHexFilePath(std::string& path);

// Clears the selection and fills it from "lastsel.dat" in the current
// directory; defaults for what a missing or short file does not supply.
void LoadLastSelection();

// Baud rate 57600, MODEM.HEX in the current directory, developer mode off.
// The port name is left as it is.
void SetDefaultSelection();

// The selection's port, rate and image, with FLASHLDR.HEX in the start
// directory as the loader.
FlashTarget TargetFromSelection();

// Writes the selection to "lastsel.dat" in the start directory. A store that
// fails leaves the earlier file as it was and says nothing.
void StoreLastSelection();
