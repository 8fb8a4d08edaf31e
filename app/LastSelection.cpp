#include "app/LastSelection.h"

#include "app/AppState.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "flash/FlashSession.h"

#include <cstdio>
#include <cstring>

FlashSelectionRecord FlashSelection{};

std::array<unsigned char, kSelectionSize> SelectionToBytes(const FlashSelectionRecord& record)
{
    std::array<unsigned char, kSelectionSize> bytes{};
    auto rate = static_cast<std::uint32_t>(record.BaudRate);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(rate >> (8 * i));
    std::memcpy(&bytes[offsetof(FlashSelectionRecord, PortName)], record.PortName, sizeof record.PortName);
    std::memcpy(&bytes[offsetof(FlashSelectionRecord, HexFilePath)], record.HexFilePath, sizeof record.HexFilePath);
    return bytes;
}

void SelectionFromBytes(FlashSelectionRecord& record, const unsigned char* bytes, std::size_t count)
{
    // Whatever the count, the bytes land where they would have landed had the
    // file been read straight over the record.
    auto image = SelectionToBytes(record);
    std::memcpy(image.data(), bytes, count < kSelectionSize ? count : kSelectionSize);
    std::uint32_t rate = 0;
    for (int i = 0; i < 4; ++i)
        rate |= static_cast<std::uint32_t>(image[i]) << (8 * i);
    record.BaudRate = static_cast<std::int32_t>(rate);
    std::memcpy(record.PortName, &image[offsetof(FlashSelectionRecord, PortName)], sizeof record.PortName);
    std::memcpy(record.HexFilePath, &image[offsetof(FlashSelectionRecord, HexFilePath)], sizeof record.HexFilePath);
}

bool DefaultHexFilePath(std::string& path)
{
    std::string directory;
    if (!CurrentDirectory(directory))
        return false;
    path = JoinPath(directory, kDefaultHexFileName);
    if (path.size() > kMaxHexFilePathLength)
        path.clear();
    return true;
}

void LoadLastSelection()
{
    FlashSelection = FlashSelectionRecord{};
    // Never waits: a FIFO or a device of that name is no record, and reads
    // as a missing one.
    FileContents file = ReadRegularFile(kLastSelectionFileName, kSelectionSize);
    if (file.result == FileContents::OpenFailed || file.result == FileContents::NotAFile) {
        SetDefaultSelection();
        return;
    }
    SelectionFromBytes(FlashSelection, reinterpret_cast<const unsigned char*>(file.bytes.data()), file.bytes.size());
    if (file.bytes.size() < kSelectionSize)
        SetDefaultSelection();
}

void SetDefaultSelection()
{
    FlashSelection.BaudRate = kDefaultBaudRate;
    std::string path;
    if (DefaultHexFilePath(path))
        SetField(FlashSelection.HexFilePath, path);
    DeveloperMode = false;
}

FlashTarget TargetFromSelection()
{
    FlashTarget target;
    target.port = FieldText(FlashSelection.PortName);
    target.baudRate = FlashSelection.BaudRate;
    target.imagePath = FieldText(FlashSelection.HexFilePath);
    target.loaderPath = JoinPath(StartDirectory, kLoaderFileName);
    return target;
}

void StoreLastSelection()
{
    auto bytes = SelectionToBytes(FlashSelection);
    WriteFileAtomically(JoinPath(StartDirectory, kLastSelectionFileName), bytes.data(), bytes.size());
}
