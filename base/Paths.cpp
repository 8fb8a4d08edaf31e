#include "base/Paths.h"

#include <algorithm>

namespace {

bool EndsInSeparator(std::string_view path)
{
    // Windows takes a slash for a backslash, and a path typed by a person
    // may end in either.
    return !path.empty() && (path.back() == kPathSeparator || (kPathSeparator == '\\' && path.back() == '/'));
}

}  // namespace

FileContents ReadWithin(std::uint64_t size, std::size_t maxBytes,
                        const std::function<long long(char* into, std::size_t count)>& readSome)
{
    FileContents contents;
    contents.size = size;
    // Of a file too large only the start is read: enough for what a person
    // is told about it, and no gigabytes read to be thrown away.
    const std::size_t wanted =
        size > maxBytes ? std::min<std::size_t>(maxBytes, kLargeFileStartBytes) : static_cast<std::size_t>(size);
    contents.bytes.resize(wanted);
    std::size_t got = 0;
    while (got < wanted) {
        long long n = readSome(contents.bytes.data() + got, wanted - got);
        if (n <= 0)
            break;  // failed, or cut short while being read
        got += static_cast<std::size_t>(n);
    }
    contents.bytes.resize(got);
    if (got < wanted)
        contents.result = FileContents::ReadFailed;
    else if (size > maxBytes)
        contents.result = FileContents::TooLarge;
    else
        contents.result = FileContents::Ok;
    return contents;
}

std::string JoinPath(std::string_view dir, std::string_view name)
{
    std::string path(dir);
    if (!path.empty() && !EndsInSeparator(path))
        path += kPathSeparator;
    path += name;
    return path;
}
