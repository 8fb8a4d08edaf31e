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

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// The target of a symbolic link, empty when path is none.
std::string LinkTarget(const std::string& path)
{
    char buffer[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

// Makes entry a symbolic link to target: a new link under a temporary name
// renamed over the entry, so the entry is never missing and a client never
// finds a half-made one.
bool PlaceLink(const std::string& target, const std::string& entry, std::string& error)
{
    std::size_t slash = entry.find_last_of('/');
    std::string directory = slash == std::string::npos ? "." : entry.substr(0, slash);
    std::string base = slash == std::string::npos ? entry : entry.substr(slash + 1);
    std::string temp = directory + "/." + base + "." + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        error = ErrnoText("cannot create a link in " + directory);
        return false;
    }
    if (::rename(temp.c_str(), entry.c_str()) != 0) {
        error = ErrnoText("cannot create " + entry);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// Removes entry while it leads to device; a later simulator may have taken
// the name over.
void RemoveLinkTo(std::string& entry, const std::string& device)
{
    if (entry.empty())
        return;
    if (LinkTarget(entry) == device)
        ::unlink(entry.c_str());
    entry.clear();
}

}  // namespace

PtyHost::~PtyHost()
{
    Unregister();
    UnlinkWinePort();
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
    // The programs would not look the name up there: say so now, not when
    // a probe finds nothing.
    if (std::string refusal = PortDirectoryRefusal(); !refusal.empty()) {
        error = refusal + " " + name + " is not registered.";
        return Registration::Failed;
    }
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

    if (!PlaceLink(m_device, entry, error))
        return Registration::Failed;
    m_entry = entry;
    return Registration::Done;
}

void PtyHost::Unregister() { RemoveLinkTo(m_entry, m_device); }

bool PtyHost::LinkWinePort(const std::string& link, std::string& error)
{
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = link + " is a directory; it cannot become a COM port";
        return false;
    }
    if (!PlaceLink(m_device, link, error))
        return false;
    m_wineLink = link;
    return true;
}

void PtyHost::UnlinkWinePort() { RemoveLinkTo(m_wineLink, m_device); }
