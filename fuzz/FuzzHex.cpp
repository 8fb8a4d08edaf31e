// The Intel HEX check: any text gives a verdict, and a file it passes goes
// on the wire as well-formed records within the modem's line size.

#include "flash/HexFile.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::size_t limit : {kMaxImageDataBytes, kMaxLoaderDataBytes}) {
        HexFile file;
        std::string error;
        bool ok = CheckHexText(text, "fuzz.hex", limit, file, error);
        if (!ok && error.empty())
            std::abort();
        if (!ok) {
            if (!file.records.empty())
                std::abort();
            continue;
        }
        std::uint64_t wire = 0;
        for (const HexRecord& record : file.records) {
            const std::string& line = record.line;
            if (line.size() < 13 || line.front() != ':' || line.compare(line.size() - 2, 2, "\r\n") != 0)
                std::abort();
            if ((line.size() - 13) / 2 > limit)
                std::abort();
            wire += line.size();
        }
        if (wire != file.wireBytes || file.records.back().type != 1)
            std::abort();
    }
    return 0;
}
