#include "app/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

bool CurrentDirectory(std::string& directory)
{
    std::vector<char> buffer(256);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            directory = buffer.data();
            return true;
        }
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

std::string JoinPath(std::string_view dir, std::string_view name)
{
    std::string path(dir);
    if (!path.empty() && path.back() != kPathSeparator)
        path += kPathSeparator;
    path += name;
    return path;
}

namespace {

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string& path)
{
    std::string::size_type slash = path.rfind(kPathSeparator);
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size)
{
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;

    // mkstemp makes the file private to its owner; give it the permissions
    // a plainly created file would have.
    mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0;
    ok = ok && WriteAll(fd, static_cast<const char*>(data), size);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }

    // Make the rename itself durable; a failure here does not undo the store.
    int dirFd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
