// The settings file on Linux: read whole and kept for ProfileReader.

#include "app/platform/SettingsFile.h"

#include <cstdio>
#include <sys/stat.h>

bool SettingsFile::Open(const char* name)
{
    std::FILE* file = std::fopen(name, "rb");
    if (file == nullptr)
        return false;
    // fopen opens a directory for reading too; it is no settings file.
    struct stat info {};
    bool read = ::fstat(::fileno(file), &info) == 0 && !S_ISDIR(info.st_mode) && m_profile.Load(file);
    std::fclose(file);
    return read;
}

std::string SettingsFile::GetString(const char* section, const char* key, const char* defaultValue,
                                    std::size_t holderSize) const
{
    return m_profile.GetString(section, key, defaultValue, holderSize);
}

void SettingsFile::Close() {}
