// Port names on Linux: COMn stands for an entry of the port directory, or
// for the serial device /dev/ttyS(n-1).

#include "serial/PortNames.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

std::string PortDirectory()
{
    if (const char* ports = std::getenv("FLASHLOADER_PORTS"); ports != nullptr && *ports != '\0')
        return ports;
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        config = std::string(home) + "/.config";
    else
        config = "/.config";
    return config + "/flashloader/ports";
}

bool MakePortDirectory(std::string& error)
{
    std::string directory = PortDirectory();
    // Every prefix that ends before a slash, then the whole path. A folder
    // that exists already is left as it is, whatever its mode.
    for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        std::string folder = directory.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot make " + folder + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat info {};
    int failure = ::stat(directory.c_str(), &info) != 0 ? errno : (S_ISDIR(info.st_mode) ? 0 : ENOTDIR);
    if (failure != 0) {
        error = "cannot make " + directory + ": " + std::strerror(failure);
        return false;
    }
    return true;
}

std::string PortDirectoryRefusal()
{
    std::string directory = PortDirectory();
    struct stat info {};
    if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};  // made afresh, it will be ours alone
    const uid_t self = ::geteuid();
    // Another user who may write the directory can point a COM name at a
    // terminal of their own and take the firmware, or swap two names. A
    // sticky directory lets nobody else rename or remove the user's own
    // entries; the entries of others are refused one by one.
    if (info.st_uid != self && info.st_uid != 0)
        return "The port directory " + directory + " belongs to another user (uid " + std::to_string(info.st_uid) +
               "), so its COM names cannot be trusted: make it yours with \"sudo chown $USER " + directory +
               "\" or set FLASHLOADER_PORTS to a directory of your own.";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0)
        return "The port directory " + directory +
               " may be written by other users, so its COM names cannot be trusted: make it yours alone with \"" +
               (info.st_uid == self ? "" : "sudo ") + "chmod go-w " + directory + "\".";
    // The folders above it count as much: whoever may change one can move
    // the port directory aside and put one of their own in its place. A
    // sticky folder (/tmp) lets nobody move what is ours.
    char* real = ::realpath(directory.c_str(), nullptr);
    std::string folder = real != nullptr ? real : directory;
    std::free(real);
    for (std::size_t slash = folder.rfind('/'); slash != std::string::npos && slash > 0; slash = folder.rfind('/')) {
        folder.erase(slash);
        struct stat above {};
        if (::stat(folder.c_str(), &above) != 0)
            break;
        bool othersMayWrite = (above.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (above.st_mode & S_ISVTX) == 0;
        if (othersMayWrite || (above.st_uid != self && above.st_uid != 0))
            return "The folder " + folder + " above the port directory " + directory +
                   (othersMayWrite ? " may be written by other users"
                                   : " belongs to another user (uid " + std::to_string(above.st_uid) + ")") +
                   ", so its COM names cannot be trusted: set FLASHLOADER_PORTS to a directory in folders only "
                   "you and root may change.";
    }
    return {};
}

std::string PortNameRefusal(std::string_view portName)
{
    if (ComPortNumber(portName) == 0)
        return {};
    std::string refusal = PortDirectoryRefusal();
    return refusal.empty() ? PortEntryRefusal(portName) : refusal;
}

std::string PortEntryRefusal(std::string_view portName)
{
    int number = ComPortNumber(portName);
    if (number == 0)
        return {};
    std::string directory = PortDirectory();
    std::string name = ComPortName(number);
    std::string entry = directory + "/" + name;
    struct stat info {};
    const uid_t self = ::geteuid();
    if (::lstat(entry.c_str(), &info) != 0 || info.st_uid == self)
        return {};
    // Another user's entry can be removed by root and by the directory's
    // owner only, as a sticky directory allows nobody else.
    struct stat folder {};
    bool mayRemove = self == 0 || (::stat(directory.c_str(), &folder) == 0 && folder.st_uid == self);
    return name + " in " + directory + " belongs to another user (uid " + std::to_string(info.st_uid) +
           "): remove it (" + (mayRemove ? "" : "sudo ") + "rm " + entry + ") so the scan can name the port again.";
}

std::string ResolvePortDevice(std::string_view portName)
{
    if (!portName.empty() && portName.front() == '/')
        return std::string(portName);
    int number = ComPortNumber(portName);
    if (number == 0 || !PortNameRefusal(portName).empty())
        return {};
    std::string entry = PortDirectory() + "/" + ComPortName(number);
    struct stat info {};
    if (::lstat(entry.c_str(), &info) == 0)
        return entry;
    return "/dev/ttyS" + std::to_string(number - 1);
}
