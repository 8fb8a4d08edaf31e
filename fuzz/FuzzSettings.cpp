// The settings file: any content gives the four texts within their holders.

#include "app/ProductTexts.h"
#include "app/ProfileReader.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::FILE* stream = ::fmemopen(const_cast<unsigned char*>(data), size, "rb");
    if (stream == nullptr)
        return 0;
    ProfileReader reader;
    reader.Load(stream);
    std::fclose(stream);
    if (reader.GetString("Version", "ProductName", "Flash Loader", kProductNameSize).size() >= kProductNameSize ||
        reader.GetString("Version", "VersionString", "5.x.x", kVersionStringSize).size() >= kVersionStringSize ||
        reader.GetString("AboutBox", "CompanyName", "<none>", kCompanyNameSize).size() >= kCompanyNameSize ||
        reader.GetString("AboutBox", "CompanySlogen", "<none>", kCompanySlogenSize).size() >= kCompanySlogenSize)
        std::abort();
    return 0;
}
