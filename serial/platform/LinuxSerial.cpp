// Linux back end of the serial platform layer. The line is configured
// through the termios2 interface, which takes any baud rate the driver
// accepts (256000 included), not only the fixed list of the classic one.

#include "serial/platform/SerialPlatform.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace serial_platform {
namespace {

thread_local int lastOpenErrno = 0;
// What the last open found where a serial port should have been.
thread_local std::string lastOpenKind;

// How long a write may make no progress at all (the device not taking a
// byte, for example held by flow control) before it counts as failed.
constexpr int kWriteStallLimitMs = 60000;

// USB serial adapters hold what they received until their latency timer
// runs out (16 ms on common chips), which costs a stop-and-wait download
// that much on every line. Their drivers take the serial driver's
// low-latency flag as the request to send on at once. The ports where the
// flag was set at open, to be cleared again at close; ports without the
// setting (a pseudo-terminal) are left as they are.
std::mutex lowLatencyMutex;
std::map<int, bool> lowLatencySet;

void AskForLowLatency(int fd)
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0)
        return;
    info.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &info) != 0)
        return;
    std::lock_guard<std::mutex> lock(lowLatencyMutex);
    lowLatencySet[fd] = true;
}

void GiveLowLatencyBack(int fd)
{
    {
        std::lock_guard<std::mutex> lock(lowLatencyMutex);
        if (lowLatencySet.erase(fd) == 0)
            return;
    }
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return;
    info.flags &= ~ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &info);
}

int Fd(PortHandle handle) { return static_cast<int>(handle); }

// A stop request: the flag says it, the event descriptor wakes the waits
// that sleep in poll(). Both are safe to touch from a signal handler.
std::atomic<bool> stopRequested{false};
std::atomic<int> stopEvent{-1};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

// poll() on the port and, once stop requests are prepared, on the stop
// event. The stop event is left readable until the request is cleared, so
// every later wait ends at once too.
int PollWithStop(int fd, short events, int timeoutMs, short& revents)
{
    pollfd fds[2] = {{fd, events, 0}, {stopEvent.load(), POLLIN, 0}};
    nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    int ready = ::poll(fds, count, timeoutMs);
    revents = fds[0].revents;
    return ready;
}

// The Unix 98 pseudo-terminal ends.
bool IsPseudoTerminalNode(const struct stat& info)
{
    unsigned int major = ::major(info.st_rdev);
    return major >= 136 && major <= 143;
}

bool IsPseudoTerminal(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    return IsPseudoTerminalNode(info);
}

// The start of a small file (a lock file, a process's name or status), at
// most limit bytes, and the file's own status. False when it cannot be
// opened (errno says why; info stays zero) or is not a regular file (info
// says what it is). Opening never waits and never follows a link: a FIFO
// planted as a lock file would otherwise hold the open, or the read, until
// somebody writes into it, and a link would lead the look elsewhere.
bool ReadSmallFile(const std::string& path, std::size_t limit, std::string& content, struct stat& info)
{
    content.clear();
    info = {};
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    char buffer[512];
    while (content.size() < limit) {
        std::size_t want = std::min(sizeof buffer, limit - content.size());
        ssize_t n = ::read(fd, buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

std::string ProcessName(const std::string& procRoot, int pid)
{
    std::string name;
    struct stat info {};
    ReadSmallFile(procRoot + "/" + std::to_string(pid) + "/comm", 64, name, info);
    if (auto end = name.find('\n'); end != std::string::npos)
        name.erase(end);
    return name;
}

// The real user id of a process, from the "Uid:" line of its status.
bool ProcessRealUid(const std::string& procRoot, int pid, uid_t& uid)
{
    std::string status;
    struct stat info {};
    if (!ReadSmallFile(procRoot + "/" + std::to_string(pid) + "/status", 4096, status, info))
        return false;
    std::size_t line = status.find("\nUid:");
    if (line == std::string::npos)
        return false;
    const char* start = status.c_str() + line + 5;
    char* end = nullptr;
    unsigned long value = std::strtoul(start, &end, 10);
    if (end == start)
        return false;
    uid = static_cast<uid_t>(value);
    return true;
}

// What a file that should have been a serial port or a lock file is, for
// the sentence that says so.
std::string FileKind(mode_t mode)
{
    if (S_ISREG(mode))
        return "a regular file";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISCHR(mode))
        return "a device that is not a terminal";
    return "no device";
}

// The same file: for device nodes the same device, whichever node names it.
bool SameFile(const struct stat& a, const struct stat& b)
{
    if (S_ISCHR(a.st_mode) || S_ISCHR(b.st_mode))
        return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether process pid has the file open, by the descriptors listed under
// procRoot/<pid>/fd: 1 when it has, 0 when it has not (or is gone), -1 when
// its descriptors may not be looked at (another user's process).
int ProcessHoldsFile(const std::string& procRoot, long pid, const struct stat& file)
{
    std::string fdDir = procRoot + "/" + std::to_string(pid) + "/fd";
    DIR* descriptors = ::opendir(fdDir.c_str());
    if (descriptors == nullptr)
        return errno == EACCES || errno == EPERM ? -1 : 0;
    bool found = false;
    while (!found) {
        dirent* entry = ::readdir(descriptors);
        if (entry == nullptr)
            break;
        if (entry->d_name[0] == '.')
            continue;
        std::string link = fdDir + "/" + entry->d_name;
        // Only descriptors of files can be the device; sockets, pipes
        // and the like name no path and are not looked at further.
        char target[8];
        ssize_t n = ::readlink(link.c_str(), target, sizeof target);
        if (n <= 0 || target[0] != '/')
            continue;
        struct stat info {};
        found = ::stat(link.c_str(), &info) == 0 && SameFile(info, file);
    }
    ::closedir(descriptors);
    return found ? 1 : 0;
}

// The pid in a lock file: ASCII digits, padded with blanks and ended by a
// line end, or in the old format the pid as a 4-byte binary int. A binary
// pid always holds a zero byte (pids stay below 2^22), which the ASCII form
// never does, so the two cannot be mistaken for each other. 0 when it is
// neither.
int LockFilePid(const std::string& content)
{
    std::size_t i = 0;
    while (i < content.size() && content[i] == ' ')
        ++i;
    long pid = 0;
    std::size_t digits = 0;
    while (i < content.size() && content[i] >= '0' && content[i] <= '9' && digits < 10) {
        pid = pid * 10 + (content[i] - '0');
        ++i;
        ++digits;
    }
    while (i < content.size() && (content[i] == ' ' || content[i] == '\n' || content[i] == '\r'))
        ++i;
    if (digits > 0 && i == content.size())
        return pid <= INT_MAX ? static_cast<int>(pid) : 0;
    if (content.size() == sizeof(std::int32_t)) {
        std::int32_t binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        return binary;
    }
    return 0;
}

bool ProcessExists(int pid)
{
    // A process of another user still exists; it only may not be signalled.
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::uint32_t DecodeBaud(const termios2& tio)
{
    speed_t code = tio.c_cflag & CBAUD;
    if (code == BOTHER)
        return tio.c_ospeed;
    static const struct {
        speed_t code;
        std::uint32_t rate;
    } table[] = {{B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
                 {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
                 {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
                 {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
    for (const auto& entry : table)
        if (entry.code == code)
            return entry.rate;
    return tio.c_ospeed;
}

}  // namespace

OpenResult OpenDevice(const std::string& device, PortHandle& handle)
{
    handle = kInvalidPort;
    lastOpenErrno = 0;
    lastOpenKind.clear();
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastOpenErrno = errno;
        // A directory cannot be opened for writing, a socket cannot be
        // opened at all, a file may be read-only: none of them is a missing
        // port or a question of the dialout group.
        struct stat info {};
        if (lastOpenErrno != ENOENT && ::stat(device.c_str(), &info) == 0 && !S_ISCHR(info.st_mode)) {
            lastOpenKind = FileKind(info.st_mode);
            return OpenResult::NotASerialPort;
        }
        switch (lastOpenErrno) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenResult::NotFound;
        case EBUSY:
            return OpenResult::Busy;
        case EACCES:
        case EPERM:
            return OpenResult::PermissionDenied;
        default:
            return OpenResult::Failed;
        }
    }
    // Only a terminal device is a serial port. Opening a FIFO or a regular
    // file this way does not wait, but no terminal call may go to one: the
    // file's kind is looked at first.
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        lastOpenErrno = errno;
        ::close(fd);
        return OpenResult::Failed;
    }
    bool terminal = S_ISCHR(info.st_mode) && ::isatty(fd);
    if (!terminal) {
        int failure = S_ISCHR(info.st_mode) ? errno : ENOTTY;
        ::close(fd);
        lastOpenErrno = failure;
        if (failure != ENOTTY && failure != EINVAL)
            return OpenResult::Failed;
        lastOpenErrno = ENOTTY;
        lastOpenKind = FileKind(info.st_mode);
        return OpenResult::NotASerialPort;
    }
    // TIOCEXCL keeps other openers out, but not one with administrator
    // rights; the advisory lock covers that case among cooperating programs.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lastOpenErrno = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return OpenResult::Busy;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        lastOpenErrno = errno;
        ::close(fd);
        return OpenResult::Failed;
    }
    // The lock and TIOCEXCL keep out only those who come later: a program
    // that opened the port first (a terminal program, the desktop's modem
    // manager) would still read our modem's answers and write into the
    // dialogue. A pseudo-terminal's far end is the simulated modem itself,
    // which holds it by design.
    PortHolder holder;
    if (FindPortHolder(device, holder)) {
        lastOpenErrno = EBUSY;
        ::close(fd);
        return OpenResult::Busy;
    }
    AskForLowLatency(fd);
    handle = fd;
    return OpenResult::Ok;
}

void CloseDevice(PortHandle handle)
{
    if (handle == kInvalidPort)
        return;
    int fd = Fd(handle);
    GiveLowLatencyBack(fd);
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);  // also releases the advisory lock
}

bool GetCommState(PortHandle handle, LineSettings& settings)
{
    termios2 tio{};
    if (::ioctl(Fd(handle), TCGETS2, &tio) != 0)
        return false;
    settings.BaudRate = DecodeBaud(tio);
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        settings.ByteSize = 5;
        break;
    case CS6:
        settings.ByteSize = 6;
        break;
    case CS7:
        settings.ByteSize = 7;
        break;
    default:
        settings.ByteSize = 8;
        break;
    }
    settings.Parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 1 : 2) : 0;
    settings.StopBits = (tio.c_cflag & CSTOPB) ? 2 : 0;
    return true;
}

bool SetCommState(PortHandle handle, const LineSettings& settings)
{
    int fd = Fd(handle);
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0 || settings.BaudRate == 0)
        return false;

    // Raw line, as a serial port is on systems without a terminal layer.
    // That includes no XON/XOFF: Linux starts a port with IXON on, where
    // other systems start without, and with it one 0x13 in the modem's
    // output (a hex record holds any byte) stops every write until a 0x11
    // comes. Hardware flow control (CRTSCTS) stays as the port has it.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON |
                                          IXOFF | IXANY);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    switch (settings.ByteSize) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    case 8:
        tio.c_cflag |= CS8;
        break;
    default:
        return false;
    }
    if (settings.Parity == 1)
        tio.c_cflag |= PARENB | PARODD;
    else if (settings.Parity == 2)
        tio.c_cflag |= PARENB;
    if (settings.StopBits == 2)
        tio.c_cflag |= CSTOPB;
    // The modem's carrier line must not gate reading or hang the port up.
    tio.c_cflag |= CLOCAL | CREAD;

    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = settings.BaudRate;
    tio.c_ospeed = settings.BaudRate;
    if (::ioctl(fd, TCSETS2, &tio) != 0)
        return false;

    // A driver may round a rate it cannot make; more than 2% off is a rate
    // the modem would not understand, so count it as refused.
    termios2 applied{};
    if (::ioctl(fd, TCGETS2, &applied) != 0)
        return false;
    std::uint32_t actual = DecodeBaud(applied);
    std::uint32_t wanted = settings.BaudRate;
    std::uint32_t diff = actual > wanted ? actual - wanted : wanted - actual;
    return static_cast<std::uint64_t>(diff) * 50 <= wanted;
}

bool GetCommTimeouts(PortHandle handle, PortTimeouts& timeouts)
{
    int flags = ::fcntl(Fd(handle), F_GETFL);
    if (flags < 0)
        return false;
    timeouts = PortTimeouts{};
    if (flags & O_NONBLOCK)
        timeouts.ReadIntervalTimeout = kReadReturnsAtOnce;
    return true;
}

bool SetCommTimeouts(PortHandle handle, const PortTimeouts& timeouts)
{
    // Reads that return at once are non-blocking reads. Writes without a
    // time limit are the only kind this back end offers.
    bool readAtOnce = timeouts.ReadIntervalTimeout == kReadReturnsAtOnce && timeouts.ReadTotalTimeoutMultiplier == 0 &&
                      timeouts.ReadTotalTimeoutConstant == 0;
    bool writeUnlimited = timeouts.WriteTotalTimeoutMultiplier == 0 && timeouts.WriteTotalTimeoutConstant == 0;
    if (!readAtOnce || !writeUnlimited)
        return false;
    int fd = Fd(handle);
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool QueuedInput(PortHandle handle, std::uint32_t& count)
{
    int queued = 0;
    if (::ioctl(Fd(handle), FIONREAD, &queued) != 0 || queued < 0)
        return false;
    count = static_cast<std::uint32_t>(queued);
    return true;
}

bool ReadAvailable(PortHandle handle, void* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    for (;;) {
        ssize_t n = ::read(Fd(handle), buffer, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return true;
        }
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

bool WriteAll(PortHandle handle, const void* bytes, std::size_t count)
{
    int fd = Fd(handle);
    auto* data = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        ssize_t n = ::write(fd, data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        // The driver's queue is full: wait until it takes bytes again.
        if (StopRequested())
            return false;
        short revents = 0;
        int ready = PollWithStop(fd, POLLOUT, kWriteStallLimitMs, revents);
        if (ready == 0 || (ready < 0 && errno != EINTR))
            return false;
        if (ready > 0 && (revents & (POLLERR | POLLHUP | POLLNVAL)) && !(revents & POLLOUT))
            return false;
    }
    return true;
}

bool TransmitByte(PortHandle handle, unsigned char byte)
{
    // The byte must reach the modem before anything still waiting to go
    // out. Linux cannot put a byte at the head of the transmit queue, so
    // what waits there is dropped: it belongs to what the modem is being
    // told to abandon.
    int fd = Fd(handle);
    if (::ioctl(fd, TCFLSH, TCOFLUSH) != 0)
        return false;
    return WriteAll(handle, &byte, 1);
}

bool GetModemStatus(PortHandle handle, std::uint32_t& status)
{
    int fd = Fd(handle);
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) == 0) {
        status = ((lines & TIOCM_CTS) ? kCtsOn : 0) | ((lines & TIOCM_DSR) ? kDsrOn : 0);
        return true;
    }
    if (IsPseudoTerminal(fd)) {
        status = kCtsOn | kDsrOn;
        return true;
    }
    return false;
}

WaitResult WaitReadable(PortHandle handle, std::uint32_t timeoutMs)
{
    if (StopRequested())
        return WaitResult::Stopped;
    int timeout = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMs);
    short revents = 0;
    int ready = PollWithStop(Fd(handle), POLLIN, timeout, revents);
    // A signal that interrupts the wait may be the one that asks to stop.
    if (StopRequested())
        return WaitResult::Stopped;
    if (ready == 0)
        return WaitResult::TimedOut;
    if (ready < 0)
        return errno == EINTR ? WaitResult::Readable : WaitResult::Gone;
    // A hung-up terminal also reports itself readable, for ever; the caller
    // reads what is still queued and must not wait on it again.
    if (revents & (POLLHUP | POLLERR | POLLNVAL))
        return WaitResult::Gone;
    return WaitResult::Readable;
}

bool DeviceGone(PortHandle handle)
{
    pollfd pfd{Fd(handle), POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void PrepareStopRequests()
{
    if (stopEvent.load() >= 0)
        return;
    int event = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    int expected = -1;
    if (event >= 0 && !stopEvent.compare_exchange_strong(expected, event))
        ::close(event);
    if (stopRequested.load())
        RequestStop();
}

void RequestStop()
{
    stopRequested.store(true);
    int event = stopEvent.load();
    if (event >= 0) {
        std::uint64_t one = 1;
        int saved = errno;  // a signal handler must leave errno as it found it
        [[maybe_unused]] ssize_t written = ::write(event, &one, sizeof one);
        errno = saved;
    }
}

bool StopRequested() { return stopRequested.load(); }

void ClearStopRequest()
{
    stopRequested.store(false);
    int event = stopEvent.load();
    if (event >= 0) {
        std::uint64_t value = 0;
        [[maybe_unused]] ssize_t got = ::read(event, &value, sizeof value);
    }
}

bool FindPortHolder(const std::string& device, PortHolder& holder)
{
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode) || IsPseudoTerminalNode(info))
        return false;
    return FindDeviceOpener(static_cast<std::uint64_t>(info.st_rdev), "/proc", holder) ||
           FindLockOwner(device, "/var/lock", "/proc", holder);
}

bool FindDeviceOpener(std::uint64_t deviceId, const std::string& procRoot, PortHolder& holder)
{
    DIR* processes = ::opendir(procRoot.c_str());
    if (processes == nullptr)
        return false;
    struct stat device {};
    device.st_mode = S_IFCHR;
    device.st_rdev = static_cast<dev_t>(deviceId);
    const int self = static_cast<int>(::getpid());
    bool found = false;
    while (!found) {
        dirent* process = ::readdir(processes);
        if (process == nullptr)
            break;
        char* end = nullptr;
        long pid = std::strtol(process->d_name, &end, 10);
        if (end == process->d_name || *end != '\0' || pid <= 0 || pid > INT_MAX || pid == self)
            continue;
        // Processes gone meanwhile, or another user's, are passed over.
        if (ProcessHoldsFile(procRoot, pid, device) == 1) {
            found = true;
            holder.pid = static_cast<int>(pid);
            holder.name = ProcessName(procRoot, holder.pid);
        }
    }
    ::closedir(processes);
    return found;
}

namespace {

// What the lock file of a device says: held by a process that holds the
// device, or set aside (with the sentence that says why), or nothing.
struct LockLook {
    bool held = false;
    PortHolder holder;
    std::string note;
};

LockLook LookAtLock(const std::string& device, const std::string& lockDir, const std::string& procRoot)
{
    LockLook look;
    // The lock is named after the device node itself: a link such as
    // /dev/serial/by-id/... or a COMn entry stands for the ttyUSB0 behind it.
    std::string resolved = device;
    if (char* real = ::realpath(device.c_str(), nullptr)) {
        resolved = real;
        std::free(real);
    }
    std::string base = resolved.substr(resolved.find_last_of('/') + 1);
    if (base.empty())
        return look;
    std::string path = lockDir + "/LCK.." + base;
    std::string content;
    struct stat lock {};
    if (!ReadSmallFile(path, 64, content, lock)) {
        if (lock.st_mode != 0)
            look.note = "Ignoring " + path + ": it is " + FileKind(lock.st_mode) + ", not a lock file.";
        else if (errno == ELOOP)
            look.note = "Ignoring " + path + ": it is a symbolic link, not a lock file.";
        return look;  // no lock, one that cannot be read, or no lock file at all
    }
    int pid = LockFilePid(content);
    if (pid <= 0 || pid == static_cast<int>(::getpid()))
        return look;  // being written, or not a lock anybody could have meant
    std::string stale = "Ignoring the stale lock file " + path + ": pid " + std::to_string(pid);
    if (!ProcessExists(pid)) {
        look.note = stale + " no longer runs.";
        return look;
    }
    std::string name = ProcessName(procRoot, pid);
    // Whoever names a process in a lock file does not make that process use
    // the port: only its open files say so. A process of another user shows
    // them to an administrator only; a terminal program's lock file belongs
    // to the user who runs it, so a lock of one user naming the process of
    // another (pid 1, say) was not left by that process. When even its user
    // cannot be read, the lock is taken as held, as a port in doubt is.
    struct stat file {};
    int holds = ::stat(device.c_str(), &file) == 0 ? ProcessHoldsFile(procRoot, pid, file) : 0;
    if (holds < 0) {
        uid_t uid = 0;
        holds = !ProcessRealUid(procRoot, pid, uid) || uid == lock.st_uid ? 1 : 0;
    }
    if (holds == 0) {
        look.note = stale + (name.empty() ? "" : " (" + name + ")") + " does not hold the port.";
        return look;
    }
    look.held = true;
    look.holder.pid = pid;
    look.holder.name = name;
    return look;
}

}  // namespace

bool FindLockOwner(const std::string& device, const std::string& lockDir, const std::string& procRoot,
                   PortHolder& holder)
{
    LockLook look = LookAtLock(device, lockDir, procRoot);
    if (look.held)
        holder = look.holder;
    return look.held;
}

std::string StaleLockNote(const std::string& device, const std::string& lockDir, const std::string& procRoot)
{
    return LookAtLock(device, lockDir, procRoot).note;
}

std::uint32_t TickCount()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    std::uint64_t ms =
        static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::string LastErrorText() { return lastOpenErrno != 0 ? std::strerror(lastOpenErrno) : std::string(); }

std::string NotASerialPortKind() { return lastOpenKind; }

}  // namespace serial_platform
