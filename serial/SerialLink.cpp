#include "serial/SerialLink.h"

#include "serial/PortNames.h"

#include <string>

namespace sp = serial_platform;

namespace {

SerialTrace& Trace()
{
    static SerialTrace trace;
    return trace;
}

void Traced(TraceDirection direction, const void* bytes, std::size_t count)
{
    if (Trace() && count > 0)
        Trace()(direction, static_cast<const char*>(bytes), count);
}

// Reads up to limit bytes of what is queued; 0 when nothing is there. A read
// that fails counts as nothing. Reads never wait, so one read both asks how
// much is queued and takes it.
std::size_t ReadQueued(PortHandle handle, char* buffer, std::size_t limit)
{
    std::size_t got = 0;
    if (!sp::ReadAvailable(handle, buffer, limit, got))
        return 0;
    Traced(TraceDirection::Received, buffer, got);
    return got;
}

}  // namespace

void SerialLink::SetTrace(SerialTrace trace) { Trace() = std::move(trace); }

namespace {

constexpr std::uint64_t kWaitHookIntervalMs = 100;

std::function<void()>& WaitHook()
{
    static std::function<void()> hook;
    return hook;
}

}  // namespace

void SerialLink::SetWaitHook(std::function<void()> hook) { WaitHook() = std::move(hook); }

OpenStatus SerialLink::OpenPort(std::string_view portName, LineSettings& settings, PortHandle& handle)
{
    std::uint32_t baudRate = settings.BaudRate;
    handle = kInvalidPort;

    std::string device = ResolvePortDevice(portName);
    PortHandle port = kInvalidPort;
    if (device.empty() || sp::OpenDevice(device, port) != sp::OpenResult::Ok)
        return OpenStatus::Failed;

    if (!sp::GetCommState(port, settings)) {
        sp::CloseDevice(port);
        return OpenStatus::NoSettings;
    }
    settings.BaudRate = baudRate;
    settings.ByteSize = 8;
    settings.Parity = 0;
    settings.StopBits = 0;
    if (!sp::SetCommState(port, settings)) {
        sp::CloseDevice(port);
        return OpenStatus::SettingsRefused;
    }

    sp::PortTimeouts timeouts;
    if (!sp::GetCommTimeouts(port, timeouts)) {
        sp::CloseDevice(port);
        return OpenStatus::NoTimeouts;
    }
    timeouts.ReadIntervalTimeout = sp::kReadReturnsAtOnce;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!sp::SetCommTimeouts(port, timeouts)) {
        sp::CloseDevice(port);
        return OpenStatus::TimeoutsRefused;
    }

    handle = port;
    return OpenStatus::Ok;
}

void SerialLink::ClosePort(PortHandle& handle)
{
    if (handle == kInvalidPort)
        return;
    sp::CloseDevice(handle);
    handle = kInvalidPort;
}

void SerialLink::DrainInput(PortHandle handle)
{
    char scratch[kDrainChunk];
    while (ReadQueued(handle, scratch, sizeof scratch) > 0) {
    }
}

void SerialLink::DrainUntilQuiet(PortHandle handle, unsigned quietMs, unsigned limitMs)
{
    const std::uint32_t start = sp::TickCount();
    for (;;) {
        DrainInput(handle);
        if (sp::StopRequested())
            return;
        std::uint32_t elapsed = sp::TickCount() - start;
        if (elapsed >= limitMs)
            return;
        unsigned wait = quietMs < limitMs - elapsed ? quietMs : limitMs - elapsed;
        if (sp::WaitReadable(handle, wait) != sp::WaitResult::Readable)
            return;
    }
}

ReplyStatus SerialLink::WriteBytes(PortHandle handle, const void* bytes, std::size_t count)
{
    if (!sp::WriteAll(handle, bytes, count))
        return ReplyStatus::WriteFailed;
    Traced(TraceDirection::Sent, bytes, count);
    return ReplyStatus::Ok;
}

ReplyStatus SerialLink::WaitForReply(PortHandle handle, std::string_view expected, ReplyBuffer& reply,
                                     std::uint16_t maxLength, std::chrono::milliseconds limit)
{
    reply.Clear();
    std::uint64_t limitMs = static_cast<std::uint64_t>(limit.count());
    return CollectReply(handle, reply, maxLength, sp::TickCount(), limitMs,
                        [expected](const ReplyBuffer& collected) { return collected.Contains(expected); });
}

ReplyStatus SerialLink::CollectReply(PortHandle handle, ReplyBuffer& reply, std::uint16_t maxLength,
                                     std::uint32_t start, std::uint64_t& limitMs,
                                     const std::function<bool(const ReplyBuffer&)>& done)
{
    std::size_t total = reply.Bytes().size();
    for (;;) {
        if (sp::StopRequested())
            return ReplyStatus::Stopped;
        char chunk[kWaitChunk];
        std::size_t got = ReadQueued(handle, chunk, sizeof chunk);
        if (got > 0) {
            reply.Append(chunk, got);
            total += got;
            if (total > maxLength)
                return ReplyStatus::TooLong;
        }
        if (done(reply))
            return ReplyStatus::Ok;

        std::uint32_t elapsed = sp::TickCount() - start;
        if (elapsed > limitMs)
            return ReplyStatus::TimedOut;
        if (got > 0)
            continue;  // more may be queued behind this chunk

        // Nothing queued: sleep on the port until input arrives or just past
        // the limit, instead of asking it again and again.
        std::uint64_t remaining = limitMs - elapsed + 1;
        const bool hooked = static_cast<bool>(WaitHook());
        if (hooked && remaining > kWaitHookIntervalMs)
            remaining = kWaitHookIntervalMs;
        sp::WaitResult waited = sp::WaitReadable(handle, static_cast<std::uint32_t>(remaining));
        if (waited == sp::WaitResult::TimedOut && hooked)
            WaitHook()();
        if (waited == sp::WaitResult::Stopped)
            return ReplyStatus::Stopped;
        if (waited == sp::WaitResult::Gone) {
            // The device has gone (unplugged, or the far end closed): once
            // what is queued has been read, nothing more can come.
            std::uint32_t queued = 0;
            if (!sp::QueuedInput(handle, queued) || queued == 0)
                return ReplyStatus::PortGone;
        }
    }
}

ReplyStatus SerialLink::SendCommand(PortHandle handle, std::string_view command, ReplyBuffer& reply,
                                    std::string_view expected, std::uint16_t maxLength, std::chrono::milliseconds limit)
{
    DrainInput(handle);
    ReplyStatus written = WriteBytes(handle, command.data(), command.size());
    if (written != ReplyStatus::Ok)
        return written;
    return WaitForReply(handle, expected, reply, maxLength, limit);
}

bool SerialLink::TransmitCommChar(PortHandle handle, char byte)
{
    if (!sp::TransmitByte(handle, static_cast<unsigned char>(byte)))
        return false;
    Traced(TraceDirection::Sent, &byte, 1);
    return true;
}

bool SerialLink::GetCommModemStatus(PortHandle handle, std::uint32_t& status)
{
    return sp::GetModemStatus(handle, status);
}

bool SerialLink::PortGone(PortHandle handle) { return handle != kInvalidPort && sp::DeviceGone(handle); }

void SerialLink::PrepareStop() { sp::PrepareStopRequests(); }

void SerialLink::RequestStop() { sp::RequestStop(); }

bool SerialLink::StopRequested() { return sp::StopRequested(); }

void SerialLink::ClearStopRequest() { sp::ClearStopRequest(); }
