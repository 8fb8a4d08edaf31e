// The settings file on Windows: copied into the Windows directory under its
// working name and read there by the system's profile-string reader.

#include "app/platform/SettingsFile.h"

#include "base/Paths.h"

#include <windows.h>

#include <vector>

namespace {

// Creates the working copy (emptying one left by an earlier run) and writes
// the bytes to it; false, with nothing left behind, when it cannot.
bool WriteWorkingCopy(const std::string& path, const std::string& bytes)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty() || (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    ok = ::CloseHandle(file) && ok;
    if (!ok)
        ::DeleteFileA(path.c_str());
    return ok;
}

}  // namespace

bool SettingsFile::Open(const char* name)
{
    Close();
    m_notAFile.clear();
    // The whole file. Its length is not held in 16 bits: a file of 64 KiB
    // or more is copied whole rather than cut at a line nobody chose.
    FileContents contents = ReadRegularFile(name, kMaxSettingsFileBytes);
    if (contents.result == FileContents::NotAFile)
        m_notAFile = contents.what;
    if (contents.result != FileContents::Ok)
        return false;
    const std::string& bytes = contents.bytes;

    char windowsDirectory[144];
    UINT length = ::GetWindowsDirectoryA(windowsDirectory, sizeof windowsDirectory);
    if (length > 0 && length < sizeof windowsDirectory) {
        std::string copy = JoinPath(std::string_view(windowsDirectory, length), kSettingsWorkingCopyName);
        if (WriteWorkingCopy(copy, bytes)) {
            m_workingCopy = copy;
            m_readFrom = kSettingsWorkingCopyName;
            return true;
        }
    }
    // No copy in the Windows directory (it is read-only for this user, or its
    // name does not fit): the same reader reads the file where it lies. A
    // name with a directory part, even ".\", is taken from there and not from
    // the Windows directory; the current directory has not moved since the
    // file was read.
    m_readFrom = std::string(".\\") + name;
    return true;
}

std::string SettingsFile::GetString(const char* section, const char* key, const char* defaultValue,
                                    std::size_t holderSize) const
{
    if (holderSize == 0)
        return {};
    std::vector<char> holder(holderSize, '\0');
    ::GetPrivateProfileStringA(section, key, defaultValue, holder.data(), static_cast<DWORD>(holderSize),
                               m_readFrom.c_str());
    return holder.data();
}

void SettingsFile::Close()
{
    // A copy that cannot be deleted stays until the next start overwrites it;
    // the texts read from it are sound all the same.
    if (!m_workingCopy.empty())
        ::DeleteFileA(m_workingCopy.c_str());
    m_workingCopy.clear();
}
