#pragma once
// The operations the serial channel needs from the operating system, in
// platform-neutral terms. One back end per system implements them; nothing
// above this layer sees a platform type.

#include <cstddef>
#include <cstdint>
#include <string>

namespace serial_platform {

// An open port, as the system hands it out.
using PortHandle = std::intptr_t;
inline constexpr PortHandle kInvalidPort = -1;

// The line settings the program looks at or changes; every other setting of
// the port (flow control, special characters) stays as the port has it.
struct LineSettings {
    std::uint32_t BaudRate = 0;
    std::uint8_t ByteSize = 0;  // data bits
    std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even
    std::uint8_t StopBits = 0;  // 0 one, 2 two
};

// The port's time-outs, in the classic form: interval 0xFFFFFFFF with both
// read totals 0 means a read returns at once with what is there; write
// totals 0 mean a write has no time limit.
struct PortTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};
inline constexpr std::uint32_t kReadReturnsAtOnce = 0xFFFFFFFFu;

// Modem status bits.
inline constexpr std::uint32_t kCtsOn = 0x0010;
inline constexpr std::uint32_t kDsrOn = 0x0020;

enum class OpenResult { Ok, NotFound, Busy, PermissionDenied, NotASerialPort, Failed };

// Opens a device for reading and writing, held exclusively: a second opener,
// in this program or another, fails even with administrator rights. A serial
// device that another process already holds (FindPortHolder) is refused as
// Busy. On Windows the system refuses a port that another program holds
// with "access denied", so that reads as Busy too and PermissionDenied does
// not occur. On Linux a path that leads to something other than a terminal
// device (a regular file, a FIFO, a directory, /dev/null) is NotASerialPort,
// found out before any terminal call goes to it.
OpenResult OpenDevice(const std::string& device, PortHandle& handle);
void CloseDevice(PortHandle handle);

bool GetCommState(PortHandle handle, LineSettings& settings);
// Applies the settings to a raw line (no echo, no line-end translation, no
// signal characters), keeping the port's flow control. False when the port
// refuses them, for example a baud rate the device cannot do. On Windows a
// port is always raw and only these four fields of its record change.
bool SetCommState(PortHandle handle, const LineSettings& settings);

bool GetCommTimeouts(PortHandle handle, PortTimeouts& timeouts);
bool SetCommTimeouts(PortHandle handle, const PortTimeouts& timeouts);

// Bytes waiting in the receive queue; false when the port cannot tell.
bool QueuedInput(PortHandle handle, std::uint32_t& count);
// Reads up to size bytes that are already there, never waiting.
bool ReadAvailable(PortHandle handle, void* buffer, std::size_t size, std::size_t& got);
// Writes every byte, returning when all are handed to the driver. False
// when the device fails; on Linux also when it stalls for a minute or a stop
// is requested. On Windows, without overlapped input/output, a write that
// flow control holds up waits until the driver takes the bytes.
bool WriteAll(PortHandle handle, const void* bytes, std::size_t count);
// Sends one byte ahead of everything else. Windows puts it at the head of
// the transmit queue, before output still waiting there. Linux cannot put a
// byte ahead, so it throws the waiting output away first, then sends it.
bool TransmitByte(PortHandle handle, unsigned char byte);

// The modem status lines (kCtsOn, kDsrOn). A pseudo-terminal has none and
// reports both on, so that a simulated modem can be probed; so does a
// Windows port whose driver cannot report them (Wine's ports on a
// pseudo-terminal).
bool GetModemStatus(PortHandle handle, std::uint32_t& status);

enum class WaitResult { Readable, TimedOut, Gone, Stopped };
// Blocks until input arrives, the time passes, the device is gone (for
// example unplugged, or the far end of a pseudo-terminal closed), or a stop
// has been requested. Linux sleeps in poll(); Windows, without overlapped
// input/output, sleeps in steps of 1 to 10 ms between looks at the queue.
WaitResult WaitReadable(PortHandle handle, std::uint32_t timeoutMs);

// True when the device has gone: unplugged, or the far end of a
// pseudo-terminal closed. Asks without waiting.
bool DeviceGone(PortHandle handle);

// A request to stop, typically from a signal handler: every wait of the
// process, the one going on and those to come, ends at once until the
// request is cleared. PrepareStopRequests must have been called once before
// a request can wake a wait that is already going on (it sets up what the
// waits listen to); RequestStop itself is async-signal-safe, and on Windows
// may be called from the console control handler's thread.
void PrepareStopRequests();
void RequestStop();
bool StopRequested();
void ClearStopRequest();

// Another process that uses a port, as far as the system shows it.
struct PortHolder {
    int pid = 0;       // 0 when not known
    std::string name;  // the process's name; empty when it cannot be read
};

// Another process that holds the serial device open or owns its lock file
// (FindDeviceOpener, FindLockOwner, on /proc and /var/lock). False for a
// pseudo-terminal, whose far end is the modem, and when no holder is seen.
// Windows does not show who holds a port: these three are always false there.
bool FindPortHolder(const std::string& device, PortHolder& holder);

// A process other than this one with the character device deviceId (the
// st_rdev of its node) open, found through the descriptors listed under
// procRoot/<pid>/fd. Processes whose descriptors cannot be read are missed.
bool FindDeviceOpener(std::uint64_t deviceId, const std::string& procRoot, PortHolder& holder);

// The owner of the lock file lockDir/LCK..<name> that terminal programs
// create, name being the base name of the device with its links resolved.
// The file holds the pid as ASCII or as a 4-byte binary int. Only a regular
// file counts, read without waiting and not through a link. The lock is
// held only while its process holds the device: has it open among
// procRoot/<pid>/fd or, where those cannot be read (another user's process),
// runs as the user who owns the lock file. A lock of a process that no
// longer exists, does not hold the device, or is this one is stale and
// ignored. The name comes from procRoot/<pid>/comm.
bool FindLockOwner(const std::string& device, const std::string& lockDir, const std::string& procRoot,
                   PortHolder& holder);

// The sentence that says which lock file FindLockOwner ignored and why, for
// example "Ignoring the stale lock file /var/lock/LCK..ttyUSB0: pid 1
// (systemd) does not hold the port."; empty when there is no lock file or
// it is held. Always empty on Windows.
std::string StaleLockNote(const std::string& device, const std::string& lockDir, const std::string& procRoot);

// Milliseconds from a fixed start, monotonic, wrapping at 2^32: only
// differences are meaningful.
std::uint32_t TickCount();

// The system's words for why the last OpenDevice failed.
std::string LastErrorText();

// What the last OpenDevice that gave NotASerialPort found instead: "a
// regular file", "a FIFO", "a directory", "a device that is not a
// terminal", ...; empty after any other result, and on Windows.
std::string NotASerialPortKind();

}  // namespace serial_platform
