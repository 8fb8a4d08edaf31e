// Win32 back end of the serial platform layer. The port is opened without
// overlapped input/output, so nothing can block on "input has arrived":
// waits sleep in small steps and ask the driver how much is queued.

#include "serial/platform/SerialPlatform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

namespace serial_platform {
namespace {

thread_local DWORD lastOpenError = 0;

std::atomic<bool> stopRequested{false};

HANDLE Handle(PortHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// How long WaitReadable sleeps between two looks at the receive queue. A
// modem answers a command or a line within a millisecond or two, and the
// download's speed is made of those turnarounds, so the first looks come
// every millisecond; a wait that has found nothing for a while is a modem
// that is busy (erasing) or absent, and a few milliseconds more cost
// nothing there, so the steps grow to at most 10 ms.
constexpr DWORD kFirstStepMs = 1;
constexpr DWORD kMaxStepMs = 10;
constexpr DWORD kQuickLookMs = 20;  // idle time before the steps grow

DWORD StepAfter(std::uint32_t idleMs)
{
    if (idleMs < kQuickLookMs)
        return kFirstStepMs;
    DWORD step = idleMs / 10;
    return step > kMaxStepMs ? kMaxStepMs : step;
}

// Sleep(1) sleeps a whole scheduler tick (about 15.6 ms) unless the process
// asked for a finer timer. Asked once, for the rest of the process's life.
void UseFineTimer()
{
    static const bool fine = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fine;
}

// The receive queue's length; false when the port no longer answers
// (error 21, "device not ready", once the far end has gone). Also clears
// the line-error state, which would otherwise stop further reception.
bool Queued(PortHandle handle, DWORD& count)
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(Handle(handle), &errors, &status))
        return false;
    count = status.cbInQue;
    return true;
}

}  // namespace

OpenResult OpenDevice(const std::string& device, PortHandle& handle)
{
    handle = kInvalidPort;
    lastOpenError = 0;
    HANDLE port = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* not shared */, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        lastOpenError = ::GetLastError();
        switch (lastOpenError) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return OpenResult::NotFound;
        // A port that another program holds answers "access denied": the
        // two cannot be told apart.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return OpenResult::Busy;
        default:
            return OpenResult::Failed;
        }
    }
    handle = reinterpret_cast<PortHandle>(port);
    return OpenResult::Ok;
}

void CloseDevice(PortHandle handle)
{
    if (handle == kInvalidPort)
        return;
    ::CloseHandle(Handle(handle));
}

bool GetCommState(PortHandle handle, LineSettings& settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(Handle(handle), &dcb))
        return false;
    settings.BaudRate = dcb.BaudRate;
    settings.ByteSize = dcb.ByteSize;
    settings.Parity = dcb.Parity;      // NOPARITY, ODDPARITY, EVENPARITY: 0, 1, 2
    settings.StopBits = dcb.StopBits;  // ONESTOPBIT 0, TWOSTOPBITS 2
    return true;
}

bool SetCommState(PortHandle handle, const LineSettings& settings)
{
    // The port's own record, read again here, with only the four fields
    // changed: flow control, special characters and the rest stay as the
    // port (or its driver's settings) had them.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(Handle(handle), &dcb) || settings.BaudRate == 0)
        return false;
    dcb.BaudRate = settings.BaudRate;
    dcb.ByteSize = settings.ByteSize;
    dcb.Parity = settings.Parity;
    dcb.StopBits = settings.StopBits;
    return ::SetCommState(Handle(handle), &dcb) != 0;
}

bool GetCommTimeouts(PortHandle handle, PortTimeouts& timeouts)
{
    COMMTIMEOUTS record{};
    if (!::GetCommTimeouts(Handle(handle), &record))
        return false;
    timeouts.ReadIntervalTimeout = record.ReadIntervalTimeout;
    timeouts.ReadTotalTimeoutMultiplier = record.ReadTotalTimeoutMultiplier;
    timeouts.ReadTotalTimeoutConstant = record.ReadTotalTimeoutConstant;
    timeouts.WriteTotalTimeoutMultiplier = record.WriteTotalTimeoutMultiplier;
    timeouts.WriteTotalTimeoutConstant = record.WriteTotalTimeoutConstant;
    return true;
}

bool SetCommTimeouts(PortHandle handle, const PortTimeouts& timeouts)
{
    COMMTIMEOUTS record{};
    record.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
    record.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    record.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
    record.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    record.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
    return ::SetCommTimeouts(Handle(handle), &record) != 0;
}

bool QueuedInput(PortHandle handle, std::uint32_t& count)
{
    DWORD queued = 0;
    if (!Queued(handle, queued))
        return false;
    count = queued;
    return true;
}

bool ReadAvailable(PortHandle handle, void* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    DWORD queued = 0;
    if (!Queued(handle, queued))
        return false;
    DWORD wanted = queued < size ? queued : static_cast<DWORD>(size);
    if (wanted == 0)
        return true;
    DWORD read = 0;
    if (!::ReadFile(Handle(handle), buffer, wanted, &read, nullptr))
        return false;
    got = read;
    return true;
}

bool WriteAll(PortHandle handle, const void* bytes, std::size_t count)
{
    // The write time-outs are 0: WriteFile returns once every byte is
    // handed to the driver, so a short count means the port failed.
    auto* data = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        DWORD piece = count > 0x10000 ? 0x10000 : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!::WriteFile(Handle(handle), data, piece, &written, nullptr) || written != piece)
            return false;
        data += piece;
        count -= piece;
    }
    return true;
}

bool TransmitByte(PortHandle handle, unsigned char byte)
{
    return ::TransmitCommChar(Handle(handle), static_cast<char>(byte)) != 0;
}

bool GetModemStatus(PortHandle handle, std::uint32_t& status)
{
    DWORD lines = 0;
    if (::GetCommModemStatus(Handle(handle), &lines)) {
        status = ((lines & MS_CTS_ON) ? kCtsOn : 0) | ((lines & MS_DSR_ON) ? kDsrOn : 0);
        return true;
    }
    // A port whose driver has no status lines to show (Wine's ports on a
    // pseudo-terminal answer "not supported") does not say the modem is
    // absent: report both on so that it is probed, as the Linux back end
    // does for a pseudo-terminal.
    if (::GetLastError() == ERROR_NOT_SUPPORTED) {
        status = kCtsOn | kDsrOn;
        return true;
    }
    return false;
}

WaitResult WaitReadable(PortHandle handle, std::uint32_t timeoutMs)
{
    UseFineTimer();
    const std::uint32_t start = TickCount();
    for (;;) {
        if (StopRequested())
            return WaitResult::Stopped;
        DWORD queued = 0;
        if (!Queued(handle, queued))
            return WaitResult::Gone;
        if (queued > 0)
            return WaitResult::Readable;
        std::uint32_t elapsed = TickCount() - start;
        if (elapsed >= timeoutMs)
            return WaitResult::TimedOut;
        DWORD step = StepAfter(elapsed);
        std::uint32_t left = timeoutMs - elapsed;
        ::Sleep(step < left ? step : left);
    }
}

bool DeviceGone(PortHandle handle)
{
    DWORD queued = 0;
    return !Queued(handle, queued);
}

// The flag is all there is: the waits look at it at every step, so a
// request (from the console control handler's thread) is seen within one
// step. Writes cannot be interrupted: without overlapped input/output a
// WriteFile runs until the driver has taken the bytes.
void PrepareStopRequests() {}

void RequestStop() { stopRequested.store(true); }

bool StopRequested() { return stopRequested.load(); }

void ClearStopRequest() { stopRequested.store(false); }

// Windows does not show which program holds a port.
bool FindPortHolder(const std::string&, PortHolder&) { return false; }

bool FindDeviceOpener(std::uint64_t, const std::string&, PortHolder&) { return false; }

bool FindLockOwner(const std::string&, const std::string&, const std::string&, PortHolder&) { return false; }

std::string StaleLockNote(const std::string&, const std::string&, const std::string&) { return {}; }

std::uint32_t TickCount() { return ::GetTickCount(); }

std::string LastErrorText()
{
    if (lastOpenError == 0)
        return {};
    char* text = nullptr;
    DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, lastOpenError, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr)
        ::LocalFree(text);
    // The system's sentence ends in a full stop and a line end; the caller
    // puts the text into a sentence of its own.
    while (!words.empty() &&
           (words.back() == '\r' || words.back() == '\n' || words.back() == ' ' || words.back() == '.'))
        words.pop_back();
    std::string number = "error " + std::to_string(lastOpenError);
    return words.empty() ? number : words + " (" + number + ")";
}

// The system opens what it is asked to open as a port or refuses it.
std::string NotASerialPortKind() { return {}; }

}  // namespace serial_platform
