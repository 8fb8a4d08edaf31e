#include "app/Paths.h"

namespace {

bool EndsInSeparator(std::string_view path)
{
    // Windows takes a slash for a backslash, and a path typed by a person
    // may end in either.
    return !path.empty() && (path.back() == kPathSeparator || (kPathSeparator == '\\' && path.back() == '/'));
}

} // namespace

std::string JoinPath(std::string_view dir, std::string_view name)
{
    std::string path(dir);
    if (!path.empty() && !EndsInSeparator(path))
        path += kPathSeparator;
    path += name;
    return path;
}
