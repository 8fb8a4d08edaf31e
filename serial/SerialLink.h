#pragma once
// The program's only access to a serial port: open it with the program's
// line settings, write, throw away waiting input, and wait a limited time
// for an expected text. Everything that talks to a modem is
// built from these operations. The class holds no data; the caller owns the
// port handle.

#include "serial/ModemProtocol.h"
#include "serial/ReplyBuffer.h"
#include "serial/platform/SerialPlatform.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

using PortHandle = serial_platform::PortHandle;
using LineSettings = serial_platform::LineSettings;
inline constexpr PortHandle kInvalidPort = serial_platform::kInvalidPort;

// OpenPort results. The numbers are those the port layer has always
// given, and some callers still tell them apart by sign alone.
enum class OpenStatus : int {
    Ok = 0,
    Failed = -1,           // the port cannot be opened
    SettingsRefused = -2,  // the new line settings are refused
    NoSettings = -3,       // the current settings cannot be read
    NoTimeouts = -8,       // the current time-outs cannot be read
    TimeoutsRefused = -9,  // the new time-outs are refused
};

// WriteBytes, WaitForReply and SendCommand results, with their old numbers.
enum class ReplyStatus : int {
    Ok = 0,           // the expected text arrived (for a write: it was written)
    TooLong = 1,      // more than maxLength bytes arrived first
    WriteFailed = 2,  // the bytes could not be written
    TimedOut = 4,     // the time limit passed first
    Stopped = 5,      // a stop was requested (RequestStop) first
    PortGone = 6,     // the port went away (unplugged, far end closed) first
};

// The bound every caller gives its replies.
using modem_protocol::kReplyLimit;

enum class TraceDirection { Sent, Received };
// Sees every byte that goes over any port, for diagnosis.
using SerialTrace = std::function<void(TraceDirection, const char* bytes, std::size_t count)>;

class SerialLink {
public:
    virtual ~SerialLink() = default;

    // Opens the port (a port name such as COM1, or a device path; see
    // ResolvePortDevice) and sets the caller's baud rate, 8 data bits, no
    // parity, one stop bit and reads that return at once. On return settings
    // hold what was applied. Ok, or a failure with the handle left invalid
    // and nothing open.
    OpenStatus OpenPort(std::string_view portName, LineSettings& settings, PortHandle& handle);

    // Closes the port and makes the handle invalid; nothing for an invalid one.
    void ClosePort(PortHandle& handle);

    // Throws away the input that is already waiting, so that an old answer
    // cannot satisfy the wait for the next one.
    void DrainInput(PortHandle handle);

    // Throws away input until the line has been quiet for quietMs (but no
    // longer than limitMs in all): the rest of an answer still on its way
    // must not be read as the answer to what is sent next.
    void DrainUntilQuiet(PortHandle handle, unsigned quietMs, unsigned limitMs);

    // Ok, or WriteFailed.
    ReplyStatus WriteBytes(PortHandle handle, const void* bytes, std::size_t count);

    // Collects what arrives into reply until it contains expected (Ok), more
    // than maxLength bytes have arrived (TooLong), or more than the limit
    // has passed (TimedOut); a stop request (Stopped) or the port going away
    // (PortGone) ends it early. Input queued before the call counts. The
    // reply is taken in chunks of at most 20 bytes, so after TooLong it
    // holds up to maxLength + 19 bytes.
    ReplyStatus WaitForReply(PortHandle handle, std::string_view expected, ReplyBuffer& reply, std::uint16_t maxLength,
                             std::chrono::milliseconds limit);
    ReplyStatus WaitForReply(PortHandle handle, std::string_view expected, ReplyBuffer& reply, std::uint16_t maxLength,
                             unsigned seconds)
    {
        return WaitForReply(handle, expected, reply, maxLength, std::chrono::seconds(seconds));
    }

    // Drains the input, sends the command and waits for its answer:
    // WriteFailed when it cannot be written, otherwise WaitForReply's result.
    ReplyStatus SendCommand(PortHandle handle, std::string_view command, ReplyBuffer& reply, std::string_view expected,
                            std::uint16_t maxLength, std::chrono::milliseconds limit);
    ReplyStatus SendCommand(PortHandle handle, std::string_view command, ReplyBuffer& reply, std::string_view expected,
                            std::uint16_t maxLength, unsigned seconds)
    {
        return SendCommand(handle, command, reply, expected, maxLength, std::chrono::seconds(seconds));
    }

    // Sends one byte at once, ahead of output still queued (which the Linux
    // back end drops to get there). False when it cannot be written.
    bool TransmitCommChar(PortHandle handle, char byte);

    // The modem status lines (CTS 0x10, DSR 0x20); false when unknown.
    bool GetCommModemStatus(PortHandle handle, std::uint32_t& status);

    // True when the port has gone away (unplugged, far end closed).
    bool PortGone(PortHandle handle);

    // A person's request to stop (Ctrl-C): every wait and write on any port
    // ends at once, the one going on included, until the request is
    // cleared. PrepareStop sets up what the waits listen to and is called
    // once before a signal handler may call RequestStop, which is
    // async-signal-safe.
    static void PrepareStop();
    static void RequestStop();
    static bool StopRequested();
    static void ClearStopRequest();

    static void SetTrace(SerialTrace trace);

    // Called about every 100 ms while a wait goes on without input, so that
    // a window can keep itself painted; it must not act on user input.
    static void SetWaitHook(std::function<void()> hook);

protected:
    // The waiting loop behind WaitForReply: collects what arrives into reply
    // (without clearing it first) until done says the reply is complete
    // (Ok), more than maxLength bytes have arrived (TooLong), more than
    // limitMs milliseconds have passed since start (TimedOut), a stop was
    // requested (Stopped) or the port went away (PortGone). done may change
    // limitMs.
    ReplyStatus CollectReply(PortHandle handle, ReplyBuffer& reply, std::uint16_t maxLength, std::uint32_t start,
                             std::uint64_t& limitMs, const std::function<bool(const ReplyBuffer&)>& done);

public:
    static constexpr std::size_t kDrainChunk = 100;
    static constexpr std::size_t kWaitChunk = 20;
};
