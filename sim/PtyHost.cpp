#include "sim/PtyHost.h"

#include "serial/PortNames.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string ErrnoText(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// The target of a symbolic link, empty when path is none.
std::string LinkTarget(const std::string& path)
{
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

} // namespace

PtyHost::~PtyHost()
{
    Unregister();
    if (m_terminal >= 0)
        ::close(m_terminal);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyHost::Open(std::string& error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        error = ErrnoText("cannot open a pseudo-terminal");
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = ErrnoText("cannot unlock the pseudo-terminal");
        return false;
    }
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        error = ErrnoText("cannot name the pseudo-terminal");
        return false;
    }
    m_device = name;
    m_terminal = ::open(m_device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_terminal < 0) {
        error = ErrnoText("cannot open " + m_device);
        return false;
    }
    // Raw before anyone learns the name: a client must never see the line
    // discipline echo its bytes or turn CR into LF.
    termios settings{};
    if (::tcgetattr(m_terminal, &settings) != 0) {
        error = ErrnoText("cannot read the settings of " + m_device);
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(m_terminal, TCSANOW, &settings) != 0) {
        error = ErrnoText("cannot make " + m_device + " raw");
        return false;
    }
    int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = ErrnoText("cannot make the pseudo-terminal non-blocking");
        return false;
    }
    return true;
}

PtyHost::Registration PtyHost::Register(int portNumber, bool replace, std::string& error)
{
    std::string directory = PortDirectory();
    if (!MakePortDirectory(error))
        return Registration::Failed;
    std::string name = ComPortName(portNumber);
    std::string entry = directory + "/" + name;

    struct stat info {};
    if (::lstat(entry.c_str(), &info) == 0) {
        struct stat target {};
        bool leadsSomewhere = ::stat(entry.c_str(), &target) == 0;
        if (leadsSomewhere && !replace) {
            std::string where = S_ISLNK(info.st_mode) ? " (leads to " + LinkTarget(entry) + ")" : "";
            error = name + " is taken: " + entry + where + " exists; use --replace to take it over";
            return Registration::Taken;
        }
        if (S_ISDIR(info.st_mode)) {
            error = entry + " is a directory; it cannot become a port entry";
            return Registration::Failed;
        }
    }

    // A new link under a temporary name renamed over the entry: the entry
    // is never missing, and a client never finds a half-made one.
    std::string temp = directory + "/." + name + "." + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(m_device.c_str(), temp.c_str()) != 0) {
        error = ErrnoText("cannot create a link in " + directory);
        return Registration::Failed;
    }
    if (::rename(temp.c_str(), entry.c_str()) != 0) {
        error = ErrnoText("cannot create " + entry);
        ::unlink(temp.c_str());
        return Registration::Failed;
    }
    m_entry = entry;
    return Registration::Done;
}

void PtyHost::Unregister()
{
    if (m_entry.empty())
        return;
    if (LinkTarget(m_entry) == m_device)
        ::unlink(m_entry.c_str());
    m_entry.clear();
}
