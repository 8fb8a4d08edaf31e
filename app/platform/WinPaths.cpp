// Files and directories on Windows, through the system's 8-bit ("A") calls.

#include "app/Paths.h"

#include <windows.h>

#include <cstdio>
#include <vector>

bool CurrentDirectory(std::string& directory)
{
    DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
    while (needed > 0) {
        std::vector<char> buffer(needed);
        DWORD length = ::GetCurrentDirectoryA(needed, buffer.data());
        if (length == 0)
            return false;
        if (length < needed) {
            directory.assign(buffer.data(), length);
            return true;
        }
        needed = length;  // another thread moved it to a longer one meanwhile
    }
    return false;
}

bool OpensForReading(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    // A device name (COM1, NUL) or a pipe opens at once or fails at once; its
    // type then refuses it.
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool regular = ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    ::CloseHandle(file);
    return regular;
}

namespace {

bool WriteAll(HANDLE file, const char* data, std::size_t size)
{
    while (size > 0) {
        DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size)
{
    // Windows refuses to replace a read-only file by renaming; Wine run by
    // the superuser would not, so the attribute is asked first either way.
    DWORD keep = FILE_ATTRIBUTE_NORMAL;
    DWORD existing = ::GetFileAttributesA(path.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if ((existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) != 0)
            return false;
        if (DWORD kept = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE))
            keep = kept;
    }

    // The new file lies beside the old one, so that the rename stays on one
    // volume and replaces it in one step.
    std::string temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".%lx-%u.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                      attempt);
        temp = path + suffix;
        file = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, keep, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;

    bool ok = WriteAll(file, static_cast<const char*>(data), size);
    ok = ok && ::FlushFileBuffers(file);
    ok = ::CloseHandle(file) && ok;
    // The C library's rename will not replace an existing file here.
    ok = ok && ::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        ::DeleteFileA(temp.c_str());
    return ok;
}
