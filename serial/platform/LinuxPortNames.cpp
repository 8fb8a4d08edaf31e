// Port names on Linux: COMn stands for an entry of the port directory, or
// for the serial device /dev/ttyS(n-1).

#include "serial/PortNames.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

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

std::string ResolvePortDevice(std::string_view portName)
{
    if (!portName.empty() && portName.front() == '/')
        return std::string(portName);
    int number = ComPortNumber(portName);
    if (number == 0)
        return {};
    std::string entry = PortDirectory() + "/" + ComPortName(number);
    struct stat info {};
    if (::lstat(entry.c_str(), &info) == 0)
        return entry;
    return "/dev/ttyS" + std::to_string(number - 1);
}
