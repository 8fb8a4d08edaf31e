// The menu's start directory on Linux. Everything after the directory is
// opened works through its descriptor, so that a folder renamed or swapped
// meanwhile cannot send the copy or the start anywhere else.

#include "app/MenuStart.h"

#include "app/ProductTexts.h"
#include "app/platform/SettingsFile.h"
#include "base/Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Reset(-1); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    int Release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

std::string AccountHome()
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr)
        return {};
    return found->pw_dir;
}

std::string ProgramPath()
{
    std::vector<char> buffer(4096);
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size())
        return {};
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string Reason() { return std::strerror(errno); }

int OpenDirectoryAt(int at, const std::string& name)
{
    return ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// One step down from at into name, made (for the owner only) when missing.
int StepInto(int at, const std::string& name, const std::string& path, std::string& problem)
{
    int fd = OpenDirectoryAt(at, name);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(at, name.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = path + " could not be made (" + Reason() + "): make it yourself (mkdir -m 700 " + path +
                      "), or set XDG_DATA_HOME to a directory of your own.";
            return -1;
        }
        fd = OpenDirectoryAt(at, name);
        // The mask may have taken the owner's bits too.
        if (fd >= 0)
            ::fchmod(fd, 0700);
    }
    if (fd < 0)
        problem = path + (errno == ENOTDIR ? " is not a directory" : " could not be opened (" + Reason() + ")") +
                  ": remove or rename it, or set XDG_DATA_HOME to a directory of your own.";
    return fd;
}

// The directory at the absolute path, with its missing parents made.
int OpenOrMakeDirectory(const std::string& path, std::string& problem)
{
    if (path.empty() || path.front() != '/') {
        problem = "the start directory \"" + path + "\" is no absolute path.";
        return -1;
    }
    Descriptor at(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string walked;
    std::string::size_type begin = 1;
    while (at.Get() >= 0 && begin < path.size()) {
        std::string::size_type end = path.find('/', begin);
        if (end == std::string::npos)
            end = path.size();
        std::string name = path.substr(begin, end - begin);
        begin = end + 1;
        if (name.empty() || name == ".")
            continue;
        walked += "/" + name;
        at.Reset(StepInto(at.Get(), name, walked, problem));
    }
    return at.Release();
}

// Only a directory that is the user's alone may hold the settings that the
// program trusts and the record that it writes.
bool IsOwnDirectory(int fd, const std::string& path, std::string& problem)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        problem = path + " could not be examined: " + Reason() + ".";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        problem = path + " belongs to another user (uid " + std::to_string(info.st_uid) +
                  "), so it is not used: remove it, or set XDG_DATA_HOME to a directory of your own.";
        return false;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        problem = "other users may write to " + path + " (mode " + mode +
                  "), so it is not used: make it yours alone (chmod 700 " + path + ").";
        return false;
    }
    return true;
}

bool WriteAll(int fd, const std::string& bytes)
{
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// A new file of a name of its own in the directory, holding bytes, flushed.
bool WriteTemporary(int dirFd, const std::string& bytes, std::string& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = std::string(kSettingsFileName) + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        int fd = ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return false;
        bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        if (!ok)
            ::unlinkat(dirFd, name.c_str(), 0);
        return ok;
    }
    errno = EEXIST;
    return false;
}

// The whole copy takes the settings file's name, unless something (a file,
// a link, a FIFO) took it meanwhile: that one stays.
bool PlaceWithoutReplacing(int dirFd, const std::string& temp)
{
    int linked = ::linkat(dirFd, temp.c_str(), dirFd, kSettingsFileName, 0);
    if (linked != 0 && errno != EEXIST)
        linked = ::renameat2(dirFd, temp.c_str(), dirFd, kSettingsFileName, RENAME_NOREPLACE);
    bool ok = linked == 0 || errno == EEXIST;
    int saved = errno;
    ::unlinkat(dirFd, temp.c_str(), 0);
    ::fsync(dirFd);
    errno = saved;
    return ok;
}

// Copies the sample in when the directory has no tarnix.ini. Whatever
// stands there under that name (an edited file, a link, a FIFO) is left
// alone: the settings step reads it, or says why it cannot.
bool SeedSettingsFile(int dirFd, const std::string& directory, const std::string& sample, std::string& problem)
{
    struct stat info {};
    if (::fstatat(dirFd, kSettingsFileName, &info, AT_SYMLINK_NOFOLLOW) == 0)
        return true;
    if (errno != ENOENT) {
        problem = JoinPath(directory, kSettingsFileName) + " could not be examined: " + Reason() + ".";
        return false;
    }
    FileContents contents = ReadRegularFile(sample, kMaxSettingsFileBytes);
    if (contents.result != FileContents::Ok) {
        std::string why = contents.result == FileContents::OpenFailed || contents.result == FileContents::NotAFile
                              ? contents.what
                              : std::string("it could not be read whole");
        problem = directory + " has no " + kSettingsFileName + ", and the installed sample " +
                  (sample.empty() ? std::string("beside the program") : sample) + " to copy into it cannot be used (" +
                  why + "): reinstall flashloader, or put a " + kSettingsFileName + " into " + directory + ".";
        return false;
    }
    std::string temp;
    if (!WriteTemporary(dirFd, contents.bytes, temp) || !PlaceWithoutReplacing(dirFd, temp)) {
        problem = "the installed sample " + sample + " could not be copied into " + directory + ": " + Reason() + ".";
        return false;
    }
    return true;
}

}  // namespace

MenuStartPlaces FindMenuStartPlaces()
{
    MenuStartPlaces places;
    const char* home = std::getenv("HOME");
    places.directory = MenuStartDirectory(std::getenv("XDG_DATA_HOME"), home,
                                          (home != nullptr && home[0] == '/') ? std::string() : AccountHome());
    if (places.directory.empty())
        places.problem = "no home directory is known (HOME is not set, and the user database names none): set HOME "
                         "to your home directory, or start flashloader in the folder that holds tarnix.ini.";
    places.sample = SampleBesideProgram(ProgramPath());
    return places;
}

bool EnterMenuStartDirectory(const std::string& directory, const std::string& sample, std::string& problem)
{
    Descriptor dir(OpenOrMakeDirectory(directory, problem));
    if (dir.Get() < 0) {
        if (problem.empty())
            problem = directory + " could not be opened: " + Reason() + ".";
        return false;
    }
    if (!IsOwnDirectory(dir.Get(), directory, problem) || !SeedSettingsFile(dir.Get(), directory, sample, problem))
        return false;
    if (::fchdir(dir.Get()) != 0) {
        problem = directory + " could not be made the current directory: " + Reason() + ".";
        return false;
    }
    return true;
}
