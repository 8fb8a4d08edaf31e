// modemsim: a simulated modem on a pseudo-terminal, so that the loader and
// its tests run without hardware. The first line of output is the device
// path to open; the modem runs until SIGTERM, SIGINT or SIGHUP, then saves
// the flash content (--flash-out) and removes its port entry and Wine link.
//
// One thread, one poll loop: it waits on the master end of the
// pseudo-terminal and on a signalfd, with a timeout that ends at the next
// reply due to go out. Nothing sleeps and nothing spins.

#include "base/ProcessSetup.h"
#include "sim/FlashMemory.h"
#include "sim/ModemModel.h"
#include "sim/OutputQueue.h"
#include "sim/PtyHost.h"
#include "sim/SimOptions.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;

// Output nobody takes for this long is thrown away: a client that stopped
// reading must not keep the modem stuck on old replies.
constexpr milliseconds kOutputStallLimit{5000};
// With no client end open, the master reports a hang-up; look again later.
constexpr milliseconds kHangUpRetry{100};

void Diagnostic(const std::string& text) { std::fprintf(stderr, "modemsim: %s\n", text.c_str()); }

bool SaveFlash(const sim::FlashMemory& flash, const std::string& path, bool verbose)
{
    std::string error;
    if (!sim::WriteIntelHexFile(flash, path, error)) {
        Diagnostic(error);
        return false;
    }
    if (verbose)
        Diagnostic("flash content written to " + path);
    return true;
}

// How long poll may sleep: to the nanosecond, since a reply paced at
// 115200 baud is due a fraction of a millisecond after its line; rounding
// to whole milliseconds would add that much to every line the loader sends.
// Null (no limit) when nothing is due.
const timespec* Timeout(SimTime now, std::optional<SimTime> deadline, timespec& holder)
{
    if (!deadline)
        return nullptr;
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(*deadline - now, SimDuration::zero()));
    holder.tv_sec = static_cast<time_t>(left.count() / 1000000000);
    holder.tv_nsec = static_cast<long>(left.count() % 1000000000);
    return &holder;
}

void Earliest(std::optional<SimTime>& deadline, std::optional<SimTime> candidate)
{
    if (candidate && (!deadline || *candidate < *deadline))
        deadline = candidate;
}

class Simulator {
public:
    Simulator(const SimOptions& options, PtyHost& pty, int signalFd)
        : m_options(options), m_pty(pty), m_signalFd(signalFd), m_model(options.modem), m_output(options.shaping)
    {
        if (options.verbose)
            m_model.SetLogger(Diagnostic);
    }

    sim::FlashMemory& Flash() { return m_model.Flash(); }

    // Runs until a signal to stop comes.
    void Run()
    {
        while (!m_stop) {
            SimTime now = SimClock::now();
            bool waitWritable = Flush(now);

            std::optional<SimTime> deadline;
            if (waitWritable)
                Earliest(deadline, *m_stalledSince + kOutputStallLimit);
            else
                Earliest(deadline, m_output.NextDue());
            bool watchMaster = !m_masterPausedUntil || now >= *m_masterPausedUntil;
            if (!watchMaster)
                Earliest(deadline, m_masterPausedUntil);
            else
                m_masterPausedUntil.reset();

            pollfd fds[2] = {{m_signalFd, POLLIN, 0}, {-1, 0, 0}};
            if (watchMaster)
                fds[1] = {m_pty.MasterFd(), static_cast<short>(POLLIN | (waitWritable ? POLLOUT : 0)), 0};
            timespec timeout{};
            if (::ppoll(fds, 2, Timeout(now, deadline, timeout), nullptr) < 0) {
                if (errno == EINTR)
                    continue;
                Diagnostic(std::string("poll failed: ") + std::strerror(errno));
                return;
            }
            if (fds[0].revents != 0)
                TakeSignal();
            if (fds[1].revents & (POLLIN | POLLERR | POLLHUP))
                Receive();
        }
    }

private:
    // Writes what is due; true when due output waits for the master to take it.
    bool Flush(SimTime now)
    {
        while (true) {
            std::string_view due = m_output.Due(now);
            if (due.empty()) {
                m_stalledSince.reset();
                return false;
            }
            ssize_t n = ::write(m_pty.MasterFd(), due.data(), due.size());
            if (n > 0) {
                m_output.Written(static_cast<std::size_t>(n), now);
                m_stalledSince.reset();
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (!m_stalledSince)
                m_stalledSince = now;
            if (now - *m_stalledSince >= kOutputStallLimit) {
                Diagnostic("nobody reads the line: " + std::to_string(m_output.PendingBytes()) +
                           " bytes of output dropped");
                m_output.Clear();
                m_stalledSince.reset();
                return false;
            }
            return true;
        }
    }

    void Receive()
    {
        char buffer[4096];
        while (true) {
            ssize_t n = ::read(m_pty.MasterFd(), buffer, sizeof buffer);
            if (n > 0) {
                m_model.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), SimClock::now());
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                break;
            // EIO (or end of file): no client end open. Not an error, just
            // nobody there; poll would keep reporting it, so wait a little.
            m_masterPausedUntil = SimClock::now() + kHangUpRetry;
            break;
        }
        for (ScheduledOutput& reply : m_model.TakeOutput())
            m_output.Push(reply.notBefore, reply.bytes);
        if (m_model.TakeImageComplete() && !m_options.flashOut.empty())
            SaveFlash(m_model.Flash(), m_options.flashOut, m_options.verbose);
    }

    void TakeSignal()
    {
        signalfd_siginfo info{};
        if (::read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (m_options.verbose)
                Diagnostic(std::string("stopping on ") + ::strsignal(static_cast<int>(info.ssi_signo)));
            m_stop = true;
        }
    }

    const SimOptions& m_options;
    PtyHost& m_pty;
    int m_signalFd;
    ModemModel m_model;
    OutputQueue m_output;
    bool m_stop = false;
    std::optional<SimTime> m_stalledSince;
    std::optional<SimTime> m_masterPausedUntil;
};

}  // namespace

int main(int argc, char** argv)
{
    PrepareProcess();
    // Signals are blocked from the start and taken through a signalfd in the
    // loop, so a stop request can never cut a file write in half.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);

    SimOptions options;
    if (int status = ParseSimOptions(argc, argv, options); status >= 0)
        return status;
    // A paced line is timed in tens of microseconds; the default timer slack
    // (50 us) on every wake-up would slow the simulated line, not the loader.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    sim::FlashMemory preload;
    if (!options.flashIn.empty()) {
        std::ifstream in(options.flashIn, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::string error;
        if (!in.good() && !in.eof()) {
            Diagnostic("--flash-in: cannot read " + options.flashIn);
            return kSimExitUsage;
        }
        if (!sim::LoadIntelHex(text, preload, error)) {
            Diagnostic("--flash-in: " + options.flashIn + ": " + error);
            return kSimExitUsage;
        }
    }

    int signalFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd < 0) {
        Diagnostic(std::string("cannot watch signals: ") + std::strerror(errno));
        return kSimExitFailed;
    }

    PtyHost pty;
    std::string error;
    if (!pty.Open(error)) {
        Diagnostic(error);
        return kSimExitFailed;
    }
    if (options.portNumber != 0) {
        switch (pty.Register(options.portNumber, options.replace, error)) {
        case PtyHost::Registration::Done:
            break;
        case PtyHost::Registration::Taken:
            Diagnostic(error);
            return kSimExitUsage;
        case PtyHost::Registration::Failed:
            Diagnostic(error);
            return kSimExitFailed;
        }
    }

    if (!options.wineLink.empty() && !pty.LinkWinePort(options.wineLink, error)) {
        Diagnostic(error);
        return kSimExitFailed;
    }

    Simulator simulator(options, pty, signalFd);
    simulator.Flash() = preload;

    // The path goes out only now: whoever reads it can open the device (and
    // its port entry) at once.
    std::printf("%s\n", pty.DevicePath().c_str());
    std::fflush(stdout);
    if (options.verbose)
        Diagnostic("modem on " + pty.DevicePath() + (pty.EntryPath().empty() ? "" : " as " + pty.EntryPath()) +
                   (pty.WineLinkPath().empty() ? "" : " and " + pty.WineLinkPath()));

    simulator.Run();

    int status = kSimExitOk;
    if (!options.flashOut.empty() && !SaveFlash(simulator.Flash(), options.flashOut, options.verbose))
        status = kSimExitFailed;
    pty.Unregister();
    pty.UnlinkWinePort();
    ::close(signalFd);
    return status;
}
