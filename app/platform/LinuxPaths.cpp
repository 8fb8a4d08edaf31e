// Files and directories on Linux.

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

bool OpensForReading(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
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

namespace {

// Where a store at path lands: through symbolic links to the file they lead
// to, so that a link keeps leading to the one record. Empty for a loop.
std::string LinkTarget(const std::string& path)
{
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return target;
        std::vector<char> buffer(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
        ssize_t length = ::readlink(target.c_str(), buffer.data(), buffer.size() - 1);
        if (length < 0)
            return target;
        std::string next(buffer.data(), static_cast<std::size_t>(length));
        target = (!next.empty() && next.front() == kPathSeparator) ? next : JoinPath(DirectoryOf(target), next);
    }
    return {};
}

} // namespace

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size)
{
    const std::string target = LinkTarget(path);
    if (target.empty())
        return false;

    // A file that is there keeps its permissions and owner; one that may
    // not be written (read-only, for anybody, root included) stays as it is.
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode_t mode = 0666 & ~mask;
    struct stat existing {};
    bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0)
            return false;
        mode = existing.st_mode & 07777;
    }

    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0;
    if (ok && exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
        // Only a privileged writer can give the file back to its owner; an
        // ordinary one keeps the group, if it may.
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
            // Neither: the file becomes the writer's, as a new file would.
        }
    }
    ok = ok && WriteAll(fd, static_cast<const char*>(data), size);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }

    // Make the rename itself durable; a failure here does not undo the store.
    int dirFd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
