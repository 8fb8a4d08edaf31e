// Files and directories on Windows, through the system's 8-bit ("A") calls.

#include "base/Paths.h"

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

namespace {

// The system's words for the last error, without the closing full stop.
std::string LastErrorText()
{
    DWORD error = ::GetLastError();
    char text[256] = {};
    if (::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                         sizeof text, nullptr) == 0)
        std::snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(error));
    std::string message = text;
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.' || message.back() == ' '))
        message.pop_back();
    return message;
}

// What an open handle is when it is no file on a disk, in the words a
// person knows; empty for a file.
std::string KindOf(HANDLE handle)
{
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK:
        return {};
    case FILE_TYPE_PIPE:
        return "a pipe";
    case FILE_TYPE_CHAR:
        return "a device";
    default:
        return "not a regular file";
    }
}

}  // namespace

FileContents ReadRegularFile(const std::string& path, std::size_t maxBytes)
{
    FileContents contents;
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        contents.result = FileContents::NotAFile;
        contents.what = "a directory";
        return contents;
    }
    // A device name (COM1, NUL, CON) or a pipe opens at once or fails at
    // once; its type then refuses it before anything is read, so that no
    // read can wait on it.
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        contents.absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        contents.what = LastErrorText();
        return contents;
    }
    contents.what = KindOf(file);
    LARGE_INTEGER size{};
    if (contents.what.empty() && !::GetFileSizeEx(file, &size))
        contents.what = "not a regular file";
    if (!contents.what.empty()) {
        ::CloseHandle(file);
        contents.result = FileContents::NotAFile;
        return contents;
    }
    contents = ReadWithin(static_cast<std::uint64_t>(size.QuadPart), maxBytes, [file](char* into, std::size_t count) {
        DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
        DWORD got = 0;
        return ::ReadFile(file, into, chunk, &got, nullptr) ? static_cast<long long>(got) : -1LL;
    });
    ::CloseHandle(file);
    return contents;
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

}  // namespace

namespace {

// The checks of a store before any byte is written; keep gets the
// attributes the new file takes over.
bool PrepareStore(const std::string& path, DWORD& keep, std::string& why)
{
    // Windows refuses to replace a read-only file by renaming; Wine run by
    // the superuser would not, so the attribute is asked first either way.
    keep = FILE_ATTRIBUTE_NORMAL;
    DWORD existing = ::GetFileAttributesA(path.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if ((existing & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            why = path + " is a directory, not a file: give the path of a file.";
            return false;
        }
        if ((existing & FILE_ATTRIBUTE_READONLY) != 0) {
            why = path + " is read-only.";
            return false;
        }
        if ((existing & FILE_ATTRIBUTE_DEVICE) != 0) {
            why = path + " is a device, not a file: give the path of a file.";
            return false;
        }
        if (DWORD kept = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE))
            keep = kept;
    }
    // A device or a pipe (NUL, COM1, \\.\pipe\x) shows no attributes of a
    // device on every system: its type is asked of an open handle, without
    // writing, and it is never replaced.
    HANDLE probe = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        const std::string kind = KindOf(probe);
        ::CloseHandle(probe);
        if (!kind.empty()) {
            why = path + " is " + kind + ", not a file: give the path of a file.";
            return false;
        }
    }
    return true;
}

// A new file beside path, so that the rename stays on one volume.
HANDLE MakeTempBeside(const std::string& path, DWORD keep, std::string& temp, std::string& why)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".%lx-%u.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                      attempt);
        temp = path + suffix;
        file = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, keep, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            why = "No file can be made beside " + path + ": " + LastErrorText() + ".";
            return INVALID_HANDLE_VALUE;
        }
    }
    if (file == INVALID_HANDLE_VALUE)
        why = "No file can be made beside " + path + ".";
    return file;
}

}  // namespace

bool AppendWhole(const std::string& path, const std::string& text, std::string& why, bool check)
{
    // Opened for appending only: every write goes to the end of the file
    // as it is then, whole, whoever else appends.
    HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        why = path + " cannot be opened for appending: " + LastErrorText() + ".";
        return false;
    }
    if (std::string kind = KindOf(file); !kind.empty()) {
        why = path + " is " + kind + ", not a file that records can be appended to.";
        ::CloseHandle(file);
        return false;
    }
    bool ok = true;
    DWORD written = 0;
    if (!check && (text.size() > 0xFFFFFFFFu ||
                   !::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
                   written != text.size())) {
        why = path + " could not be appended to: " + LastErrorText() + ".";
        ok = false;
    }
    ::CloseHandle(file);
    return ok;
}

bool CanWriteFileAtomically(const std::string& path, std::string& why)
{
    DWORD keep = FILE_ATTRIBUTE_NORMAL;
    std::string temp;
    if (!PrepareStore(path, keep, why))
        return false;
    HANDLE file = MakeTempBeside(path, keep, temp, why);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    ::DeleteFileA(temp.c_str());
    return true;
}

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size, std::string* why)
{
    std::string reason;
    auto fail = [&] {
        if (why != nullptr)
            *why = reason;
        return false;
    };
    DWORD keep = FILE_ATTRIBUTE_NORMAL;
    if (!PrepareStore(path, keep, reason))
        return fail();

    std::string temp;
    HANDLE file = MakeTempBeside(path, keep, temp, reason);
    if (file == INVALID_HANDLE_VALUE)
        return fail();

    bool ok = WriteAll(file, static_cast<const char*>(data), size);
    ok = ok && ::FlushFileBuffers(file);
    ok = ::CloseHandle(file) && ok;
    if (!ok)
        reason = path + " could not be written: " + LastErrorText() + ".";
    // The C library's rename will not replace an existing file here.
    if (ok && !::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = path + " could not be replaced: " + LastErrorText() + ".";
        ok = false;
    }
    if (!ok) {
        ::DeleteFileA(temp.c_str());
        return fail();
    }
    return true;
}
