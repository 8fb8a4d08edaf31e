// The identification area of an image: any bytes give a record the window
// can show, never a read outside them.

#include "flash/ModemLink.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    ModemInfo info;
    bool ok = ModemLink::ParseFileInfo(std::string_view(reinterpret_cast<const char*>(data), size), info);
    if (!ok && (size >= 75 || info.typeCode != 0 || !info.typeName.empty()))
        std::abort();
    if (info.typeCode < 0 || info.typeCode > 5 || info.typeName.size() > 21)
        std::abort();
    if (info.sectorSize == 0 && info.checksum != 0)
        std::abort();
    return 0;
}
