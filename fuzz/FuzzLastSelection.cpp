// The last-selection record from a file of any length: the bytes land where
// they belong, and its texts are read within their fields.

#include "app/LastSelection.h"
#include "base/Text.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    FlashSelectionRecord record{};
    SelectionFromBytes(record, data, size);
    auto bytes = SelectionToBytes(record);
    std::size_t count = size < kSelectionSize ? size : kSelectionSize;
    if (std::memcmp(bytes.data(), data, count) != 0)
        std::abort();
    if (FieldText(record.PortName).size() > sizeof record.PortName ||
        FieldText(record.HexFilePath).size() > sizeof record.HexFilePath)
        std::abort();
    return 0;
}
