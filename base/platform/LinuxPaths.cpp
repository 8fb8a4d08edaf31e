// Files and directories on Linux.

#include "base/Paths.h"

#include <cerrno>
#include <cstring>
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

namespace {

// What a path is when it is no regular file, in the words a person knows.
std::string KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

}  // namespace

FileContents ReadRegularFile(const std::string& path, std::size_t maxBytes)
{
    FileContents contents;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer, and a device could wait for its carrier.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        contents.absent = errno == ENOENT || errno == ENOTDIR;
        contents.what = std::strerror(errno);
        return contents;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        contents.what = std::strerror(errno);
        ::close(fd);
        return contents;
    }
    if (!S_ISREG(info.st_mode)) {
        contents.result = FileContents::NotAFile;
        contents.what = KindOf(info.st_mode);
        ::close(fd);
        return contents;
    }
    contents = ReadWithin(static_cast<std::uint64_t>(info.st_size), maxBytes, [fd](char* into, std::size_t count) {
        ssize_t n;
        do
            n = ::read(fd, into, count);
        while (n < 0 && errno == EINTR);
        return static_cast<long long>(n);
    });
    ::close(fd);
    return contents;
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

}  // namespace

namespace {

// Where a store at path lands: through symbolic links to the file they lead
// to, so that a link keeps leading to the one record. A link is followed
// only where the kernel's protected-symlinks rule would follow it: it is
// ours, or its folder is not both sticky and writable by everybody, or it
// belongs to the folder's owner. Anyone can leave a link in /tmp, and a
// writer that followed it would replace whatever file it names.
bool StoreTarget(const std::string& path, std::string& target, std::string& why)
{
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        struct stat folder {};
        const std::string directory = DirectoryOf(target);
        if (::stat(directory.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
            (folder.st_mode & S_IWOTH) != 0 && info.st_uid != ::geteuid() && info.st_uid != folder.st_uid) {
            why = target + " is a symbolic link that another user (uid " + std::to_string(info.st_uid) +
                  ") made in the shared folder " + directory +
                  "; it is not followed. Remove it, or choose a name in a folder of your own.";
            return false;
        }
        std::vector<char> buffer(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
        ssize_t length = ::readlink(target.c_str(), buffer.data(), buffer.size() - 1);
        if (length < 0)
            return true;
        std::string next(buffer.data(), static_cast<std::size_t>(length));
        target = (!next.empty() && next.front() == kPathSeparator) ? next : JoinPath(DirectoryOf(target), next);
    }
    why = path + " leads through too many symbolic links.";
    return false;
}

// The checks of a store before any byte is written: where it lands, and
// whether what is there may be replaced. mode is the new file's.
bool PrepareStore(const std::string& path, std::string& target, struct stat& existing, bool& exists, mode_t& mode,
                  std::string& why)
{
    if (!StoreTarget(path, target, why))
        return false;
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
    exists = ::lstat(target.c_str(), &existing) == 0;
    if (!exists)
        return true;
    if (!S_ISREG(existing.st_mode)) {
        why = target + " is " + KindOf(existing.st_mode) + ", not a file: give the path of a file.";
        return false;
    }
    // A file that may not be written (read-only, for anybody, root
    // included) stays as it is.
    if (::access(target.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0) {
        why = target + " may not be written (it is read-only for you).";
        return false;
    }
    mode = existing.st_mode & 07777;
    return true;
}

int MakeTempBeside(const std::string& target, std::string& temp, std::string& why)
{
    temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        why = "No file can be made in " + DirectoryOf(target) + ": " + std::strerror(errno) + ".";
    return fd;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size, std::string* why)
{
    std::string reason, target, temp;
    struct stat existing {};
    bool exists = false;
    mode_t mode = 0;
    auto fail = [&](const std::string& text) {
        if (why != nullptr)
            *why = text;
        return false;
    };
    if (!PrepareStore(path, target, existing, exists, mode, reason))
        return fail(reason);

    int fd = MakeTempBeside(target, temp, reason);
    if (fd < 0)
        return fail(reason);
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
    if (!ok)
        reason = target + " could not be written: " + std::strerror(errno) + ".";
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        reason = target + " could not be replaced: " + std::strerror(errno) + ".";
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return fail(reason);
    }

    // Make the rename itself durable; a failure here does not undo the store.
    int dirFd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool AppendWhole(const std::string& path, const std::string& text, std::string& why, bool check)
{
    // Named for what it is; and O_NONBLOCK, as a FIFO put there meanwhile
    // would otherwise wait for a reader: it and any other non-file are
    // refused after the open too.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        why = path + " is " + KindOf(info.st_mode) + ", not a file that records can be appended to.";
        return false;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = path + " cannot be opened for appending: " + std::strerror(errno) + ".";
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        why = path + " is " + KindOf(info.st_mode) + ", not a file that records can be appended to.";
        ::close(fd);
        return false;
    }
    bool ok = true;
    if (!check) {
        // One write: with O_APPEND the system moves to the end and writes in
        // one step, which no other appender's write can split.
        ssize_t written;
        do
            written = ::write(fd, text.data(), text.size());
        while (written < 0 && errno == EINTR);
        if (written != static_cast<ssize_t>(text.size())) {
            why = path + " could not be appended to: " +
                  (written < 0 ? std::strerror(errno) : "only part of the record fitted (is the disk full?)") + ".";
            ok = false;
        }
    }
    if (::close(fd) != 0 && ok) {
        why = path + " could not be appended to: " + std::strerror(errno) + ".";
        ok = false;
    }
    return ok;
}

bool CanWriteFileAtomically(const std::string& path, std::string& why)
{
    std::string target, temp;
    struct stat existing {};
    bool exists = false;
    mode_t mode = 0;
    if (!PrepareStore(path, target, existing, exists, mode, why))
        return false;
    int fd = MakeTempBeside(target, temp, why);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(temp.c_str());
    return true;
}
