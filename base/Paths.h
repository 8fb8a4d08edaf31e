#pragma once
// File-system helpers shared by the program's own files.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The process's current directory; false when the system cannot tell it
// (for example, the directory was removed).
bool CurrentDirectory(std::string& directory);

// dir, a separator unless dir already ends in one (on Windows a slash counts
// as one too), then name: C:\WORK\MODEM.HEX, C:\MODEM.HEX at a drive's root.
// An empty dir gives the bare name.
std::string JoinPath(std::string_view dir, std::string_view name);

inline constexpr std::size_t kLargeFileStartBytes = 4096;

// A file read whole, as a run or the start-up takes it: once, so that what
// was checked is what is used.
struct FileContents {
    enum Result {
        Ok,          // bytes holds the whole file
        OpenFailed,  // what holds the system's reason ("No such file or directory")
        NotAFile,    // what holds what the path is instead ("a FIFO", "a directory", "a device")
        TooLarge,    // larger than the reader takes; bytes holds its start (up to kLargeFileStartBytes)
        ReadFailed,  // it broke off while being read
    } result = OpenFailed;
    std::string bytes;
    std::uint64_t size = 0;  // the file's size as the system tells it
    std::string what;
    bool absent = false;  // OpenFailed: nothing is at the path (a folder on the way may be missing too)
};

// Reads the regular file at path, at most maxBytes of it (with none, only
// whether it is a file that opens). Opening never waits: a FIFO, a device
// or a folder is named for what it is and left unread, so that a pipe with
// nobody writing cannot hold the program.
FileContents ReadRegularFile(const std::string& path, std::size_t maxBytes);

// The part of ReadRegularFile that both systems share: a regular file of
// size bytes, opened, read through readSome (which gives the count it read,
// 0 at the end, less than 0 on failure) as far as maxBytes allows.
FileContents ReadWithin(std::uint64_t size, std::size_t maxBytes,
                        const std::function<long long(char* into, std::size_t count)>& readSome);

// Replaces the file at path with exactly these bytes, or leaves it as it was:
// the bytes go to a new file in the same directory, which is flushed to disk
// and then renamed over the old one. An interrupted store can therefore never
// leave a truncated or empty file behind. A file that may not be written (on
// Linux no write permission for anybody, on Windows the read-only attribute)
// or that is no regular file is left as it was and the store fails. On Linux
// a symbolic link is written through to its target, and the file keeps its
// permissions and owner, but only where the system itself would follow the
// link: a link that another user left in a folder that everybody may write
// and that has the sticky bit (/tmp) is not followed, as it may lead anywhere
// this process may write. On Windows the file keeps its hidden and system
// attributes. On failure why, when given, says what stood in the way.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size, std::string* why = nullptr);

// Appends text to the file at path (made, readable by all and writable by
// the user, when missing) in one write, so that records that several
// programs append to one file at the same time never mix: each is there
// whole, or the append fails. A path that is no regular file (a FIFO, a
// device, a folder) is refused without waiting on it. False with the
// reason in why. check: only opens and checks, appending nothing.
bool AppendWhole(const std::string& path, const std::string& text, std::string& why, bool check = false);

// Whether a store at path would be taken, asked before work whose record it
// is begins: the same checks as the store, and a trial file made and removed
// in the folder. False with the reason in why.
bool CanWriteFileAtomically(const std::string& path, std::string& why);
