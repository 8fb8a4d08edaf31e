#pragma once
// File-system helpers shared by the program's own files.

#include <cstddef>
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

// Whether path names a regular file that this process can open for reading
// (never a folder, a device or a pipe). Opening does not wait: a pipe with
// nobody writing is refused, not waited for.
bool OpensForReading(const std::string& path);

// Replaces the file at path with exactly these bytes, or leaves it as it was:
// the bytes go to a new file in the same directory, which is flushed to disk
// and then renamed over the old one. An interrupted store can therefore never
// leave a truncated or empty file behind. A file that may not be written (on
// Linux no write permission for anybody, on Windows the read-only attribute)
// is left as it was and the store fails. On Linux a symbolic link is written
// through to its target and the file keeps its permissions and owner; on
// Windows the file keeps its hidden and system attributes.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size);
