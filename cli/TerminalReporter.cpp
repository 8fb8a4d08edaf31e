#include "cli/TerminalReporter.h"

#include "cli/Commands.h"
#include "cli/Printable.h"
#include "flash/FlashSession.h"
#include "serial/SerialLink.h"

#include <csignal>
#include <unistd.h>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include <atomic>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_stopSignal{0};

#ifdef _WIN32
// Ctrl-C, Ctrl-Break and the console window's close box, the console's
// counterparts of the signals. The handler runs on a thread of its own.
BOOL WINAPI OnConsoleControl(DWORD event)
{
    static std::atomic<bool> seen[CTRL_SHUTDOWN_EVENT + 1];
    if (event > CTRL_SHUTDOWN_EVENT)
        return FALSE;
    // A second press of the same kind: the system's own handler ends the
    // program at once.
    if (seen[event].exchange(true))
        return FALSE;
    int expected = 0;
    g_stopSignal.compare_exchange_strong(expected, event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 2 : 1);
    SerialLink::RequestStop();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // The system ends the process as soon as this returns: give the
        // run the time to say why it stopped and to let the port go.
        ::Sleep(4000);
    }
    return TRUE;
}
#else
void OnStopSignal(int signal)
{
    int expected = 0;
    g_stopSignal.compare_exchange_strong(expected, signal);
    SerialLink::RequestStop();
    std::signal(signal, SIG_DFL);
}
#endif

}  // namespace

void TerminalReporter::StopOnSignals()
{
    SerialLink::PrepareStop();
#ifdef _WIN32
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    // No SA_RESTART: a question waiting for its answer on the terminal is
    // interrupted too, and answered No.
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
#endif
}

int TerminalReporter::StopSignal() { return g_stopSignal.load(); }

int StatusAfterStop(int status)
{
    const int signal = TerminalReporter::StopSignal();
    return status != kExitOk && signal != 0 ? kExitSignal + signal : status;
}

TerminalReporter::TerminalReporter(bool assumeYes)
    : m_assumeYes(assumeYes), m_live(::isatty(::fileno(stdout)) != 0), m_fileStart(Clock::now())
{
}

MsgResult TerminalReporter::ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                                        MsgButtons buttons)
{
    EndProgressLine();
    if (buttons == MsgButtons::YesNo && m_assumeYes) {
        std::fprintf(stderr, "%s: %s\n(answered Yes)\n", caption.c_str(), Printable(text, true).c_str());
        return MsgResult::Yes;
    }
    return m_ui.ShowMessage(caption, text, icon, buttons);
}

void TerminalReporter::ShowStatus(const std::string& text, StatusKind kind)
{
    EndProgressLine();
    std::FILE* out = kind == StatusKind::Stop ? stderr : stdout;
    std::fprintf(out, "%s\n", Printable(text, true).c_str());
    std::fflush(out);
}

void TerminalReporter::StartLabel(const char* label)
{
    m_label = label;
    m_fileStart = Clock::now();
    m_lastPercent = -1;
    m_percent = 0;
}

void TerminalReporter::OnPhase(RunPhase phase)
{
    // The figures count from the start of the run, and again from the
    // start of each file after the loader: the image after a restart of
    // the loader goes on with its own.
    switch (phase) {
    case RunPhase::Starting:
        StartLabel("Done");
        break;
    case RunPhase::LoadingLoader:
        StartLabel("Done (FLASHLDR.HEX)");
        break;
    case RunPhase::LoadingImage:
        if (m_label != "Done")
            StartLabel("Done");
        break;
    default:
        break;
    }
}

void TerminalReporter::OnResult(const RunResult& result)
{
    EndProgressLine();
    const bool succeeded = result.outcome == RunOutcome::Succeeded;
    if (succeeded)
        std::printf("%s\n", FormatElapsed(result.elapsedMs).c_str());
    ShowStatus(CommandLineText(RunResultStatus(result)), RunResultKind(result));
    if (!succeeded && !result.detail.empty())
        std::fprintf(stderr, "%s\n", Printable(result.detail, true).c_str());
    if (std::string advice = RestartAdvice(result); !advice.empty())
        std::fprintf(stderr, "%s\n", advice.c_str());
}

GoOnAnswer TerminalReporter::ShouldGoOn() { return SerialLink::StopRequested() ? GoOnAnswer::Stop : GoOnAnswer::GoOn; }

void TerminalReporter::OnWait(const RunWait& wait)
{
    // Nothing moves while the modem erases its flash or restarts its
    // loader: the seconds waited do, each second on a terminal, every ten
    // in a log.
    const ModemWait what = wait.what;
    const std::uint32_t waitedMs = wait.waitedMs;
    unsigned seconds = waitedMs / 1000;
    if (waitedMs == 0)
        m_waitShown = 0;
    if (seconds == m_waitShown || (!m_live && seconds % 10 != 0))
        return;
    m_waitShown = seconds;
    const char* waitingFor =
        what == ModemWait::Erasing ? "waiting for the modem's first answer" : "waiting for the restarted loader";
    std::printf("%s%3d%% %s  %s  %u:%02u%s", m_live ? "\r" : "", m_percent, m_label.c_str(), waitingFor, seconds / 60,
                seconds % 60, m_live ? "\x1b[K" : "\n");
    std::fflush(stdout);
    m_lineOpen = m_live;
}

void TerminalReporter::OnProgress(const RunProgress& progress)
{
    // Drawn after every line acknowledged, not for a file just begun.
    if (progress.linesSent == 0)
        return;
    const std::uint64_t sent = progress.bytesSent;
    const std::uint64_t total = progress.bytesTotal;
    int percent = total > 0 ? static_cast<int>(sent * 100 / total) : 100;
    m_percent = percent;
    auto now = Clock::now();
    // On a terminal, redraw at most ten times a second and on every new
    // percent; in a log, a line every ten percent.
    if (m_live) {
        if (percent == m_lastPercent && now - m_lastDraw < std::chrono::milliseconds(100) && sent != total)
            return;
    } else if (percent / 10 == m_lastPercent / 10 && sent != total) {
        return;
    }
    m_lastPercent = percent;
    m_lastDraw = now;
    double seconds = std::chrono::duration<double>(now - m_fileStart).count();
    double rate = seconds > 0 ? static_cast<double>(sent) / seconds / 1024.0 : 0.0;
    unsigned whole = static_cast<unsigned>(seconds);
    std::printf("%s%3d%% %s  %llu/%llu bytes  %.1f KiB/s  %u:%02u%s", m_live ? "\r" : "", percent, m_label.c_str(),
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(total), rate, whole / 60,
                whole % 60, m_live ? "\x1b[K" : "\n");
    std::fflush(stdout);
    m_lineOpen = m_live;
    if (sent == total)
        EndProgressLine();
}

void TerminalReporter::EndProgressLine()
{
    if (m_lineOpen) {
        std::printf("\n");
        std::fflush(stdout);
        m_lineOpen = false;
    }
}
