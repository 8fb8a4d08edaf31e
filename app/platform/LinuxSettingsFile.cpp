// The settings file on Linux: read whole and kept for ProfileReader.

#include "app/platform/SettingsFile.h"

#include "base/Paths.h"

bool SettingsFile::Open(const char* name)
{
    m_notAFile.clear();
    FileContents contents = ReadRegularFile(name, kMaxSettingsFileBytes);
    if (contents.result == FileContents::NotAFile)
        m_notAFile = contents.what;
    if (contents.result != FileContents::Ok)
        return false;
    m_profile.Parse(contents.bytes);
    return true;
}

std::string SettingsFile::GetString(const char* section, const char* key, const char* defaultValue,
                                    std::size_t holderSize) const
{
    return m_profile.GetString(section, key, defaultValue, holderSize);
}

void SettingsFile::Close() {}
