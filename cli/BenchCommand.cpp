// flash on a bench: several modems flashed at the same time, each with its
// own session, port and result, so that a failing, refusing, vanishing or
// slow modem never stops or slows another; one live line per port on a
// terminal, a line per port per ten percent and per change in a log, and a
// summary at the end.

#include "app/LoaderApp.h"
#include "base/Paths.h"
#include "base/Version.h"
#include "cli/Commands.h"
#include "cli/Printable.h"
#include "cli/Records.h"
#include "cli/TerminalReporter.h"
#include "cli/TerminalUi.h"
#include "flash/Digest.h"
#include "flash/FlashSession.h"
#include "ports/ModemScan.h"
#include "ports/PortDevice.h"
#include "ports/PortTable.h"
#include "serial/PortDiagnosis.h"
#include "serial/PortNames.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// What is known of one port's run; written by its worker, read by the
// display, both under the mutex.
struct PortRun {
    std::string port;
    std::string identification;  // the modem's type, sector size and checksum
    std::string plan = "-";
    std::string state = "waiting";
    std::string reason;  // why it failed; empty while it has not
    int percent = 0;
    std::uint64_t sent = 0;
    Clock::time_point start;
    double seconds = 0;
    bool done = false;
    bool succeeded = false;
    int lastLoggedTenth = -1;
    std::string lastLoggedState;
    // For the report.
    ModemInfo modem;
    std::string ownText;  // the modem's answer to ATI
    bool identified = false;
    int exitCode = kExitFailed;
    PortDevice device;
    RunCounts counts;
    std::chrono::system_clock::time_point started, ended;
};

std::mutex g_runsMutex;

// The engine's display for one port: what the session reports goes into its
// PortRun; the retry question after a failed erase or program step follows
// --yes, as nobody can be asked per port on one terminal.
class BenchReporter : public FlashReporter {
public:
    BenchReporter(PortRun& run, bool assumeYes) : m_run(run), m_assumeYes(assumeYes) {}

    MsgResult ShowMessage(const std::string&, const std::string& text, MsgIcon, MsgButtons buttons) override
    {
        std::lock_guard<std::mutex> lock(g_runsMutex);
        if (buttons == MsgButtons::YesNo) {
            m_run.reason = text + (m_assumeYes ? " (answered Yes: --yes)" : " (answered No; --yes answers Yes)");
            return m_assumeYes ? MsgResult::Yes : MsgResult::No;
        }
        m_run.reason = text;
        return MsgResult::Ok;
    }
    void ShowModemInfo(const InfoRow& row) override
    {
        std::lock_guard<std::mutex> lock(g_runsMutex);
        m_run.identification = row.type + ", " + row.sectorSize + ", " + row.checksum;
    }
    void OnPhase(RunPhase phase) override
    {
        if (const char* state = StateOf(phase)) {
            std::lock_guard<std::mutex> lock(g_runsMutex);
            m_run.state = state;
        }
    }
    GoOnAnswer ShouldGoOn() override { return SerialLink::StopRequested() ? GoOnAnswer::Stop : GoOnAnswer::GoOn; }
    void OnResult(const RunResult& result) override
    {
        if (result.outcome == RunOutcome::Succeeded)
            return;
        std::lock_guard<std::mutex> lock(g_runsMutex);
        m_run.reason = RunResultStatus(result);
    }
    void OnWait(const RunWait& wait) override
    {
        if (wait.waitedMs == 0 && wait.what == ModemWait::Erasing) {
            std::lock_guard<std::mutex> lock(g_runsMutex);
            m_run.state = "erasing";
        }
    }
    void OnProgress(const RunProgress& progress) override
    {
        // Nothing sent yet of a file just begun.
        if (progress.linesSent == 0)
            return;
        std::lock_guard<std::mutex> lock(g_runsMutex);
        m_run.sent = progress.bytesSent;
        m_run.percent =
            progress.bytesTotal > 0 ? static_cast<int>(progress.bytesSent * 100 / progress.bytesTotal) : 100;
        if (m_run.state == "erasing")
            m_run.state = "image";
    }

private:
    // The column names the file a run is on from its start (the image,
    // unless the loader goes first), and what the modem is busy with while
    // it restarts its loader; the erase shows while the modem is silent
    // about it (see OnWait).
    static const char* StateOf(RunPhase phase)
    {
        switch (phase) {
        case RunPhase::Checking:
            return "checking";
        case RunPhase::Starting:
        case RunPhase::Erasing:
        case RunPhase::LoadingImage:
            return "image";
        case RunPhase::LoadingLoader:
            return "loader";
        case RunPhase::RestartingLoader:
            return "restarting";
        case RunPhase::Done:
            break;
        }
        return nullptr;  // the run's own end says succeeded or failed
    }

    PortRun& m_run;
    bool m_assumeYes;
};

const char* PlanName(LoadPlan plan)
{
    switch (plan) {
    case LoadNormal:
        return "normal";
    case LoadComplete:
        return "complete";
    case NoModem:
        break;
    }
    return "-";
}

void FlashOne(PortRun& run, FlashTarget target, TargetFiles files, bool assumeYes)
{
    BenchReporter reporter(run, assumeYes);
    FlashSession session(reporter, target, std::move(files));
    {
        std::lock_guard<std::mutex> lock(g_runsMutex);
        run.state = "checking";
    }
    FlashSession::CheckResult check = session.CheckAtOpening();
    const std::string ownText = check == FlashSession::CheckResult::Ready ? session.AskIdentification() : "";
    {
        std::lock_guard<std::mutex> lock(g_runsMutex);
        run.modem = session.ModemInfoRecord();
        run.ownText = ownText;
        run.identified = check == FlashSession::CheckResult::Ready;
    }
    bool ok = false;
    int exitCode = kExitPort;
    std::string reason;
    if (check == FlashSession::CheckResult::Ready) {
        const RunPlan plan = session.PlanRun();
        {
            std::lock_guard<std::mutex> lock(g_runsMutex);
            run.plan = PlanName(plan.plan);
            run.state = "starting";
        }
        ok = session.OnPerformLoading();
        exitCode = RunStatus(ok, plan.verdict);
        reason = session.FailureReason();
        if (!session.FailureDetail().empty())
            reason += (reason.empty() ? "" : " ") + session.FailureDetail();
        if (std::string advice = RestartAdvice(session.Outcome()); !ok && !advice.empty())
            reason += " " + advice;
    } else if (check == FlashSession::CheckResult::PortFailed) {
        reason = DescribePortProblem(target.port);
        if (reason.empty())
            reason = "the port could not be opened";
    } else if (check == FlashSession::CheckResult::Stopped) {
        reason = "stopped at your request while the modem was being checked; nothing was flashed";
        exitCode = kExitFailed;
    } else {
        reason = "no supported modem answered";
    }
    std::lock_guard<std::mutex> lock(g_runsMutex);
    run.counts = session.Counts();
    run.ended = std::chrono::system_clock::now();
    run.done = true;
    run.succeeded = ok;
    run.exitCode = exitCode;
    run.seconds = std::chrono::duration<double>(Clock::now() - run.start).count();
    run.state = ok ? "succeeded" : "failed";
    if (!ok && !reason.empty())
        run.reason = reason;
    if (ok)
        run.reason.clear();
}

std::string Utc(std::chrono::system_clock::time_point when)
{
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &seconds);
#else
    gmtime_r(&seconds, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// What every record of a run shares: the program, the machine, the bench
// and the image.
struct RunContext {
    std::string station;    // empty: none given
    std::string imagePath;  // absolute
    const FileContents* image = nullptr;
};

// One port's run, as the report lists it and the log keeps it.
nlohmann::json PortRecord(const PortRun& run, const RunContext& context)
{
    // The digest of the very bytes that were checked and sent; none for an
    // image that could not be read whole.
    nlohmann::json sha = nullptr, size = nullptr;
    if (context.image->result == FileContents::Ok) {
        sha = Sha256Hex(context.image->bytes);
        size = context.image->bytes.size();
    }
    nlohmann::json modem = nullptr;
    if (run.identified) {
        modem = IdentificationRecord(run.modem);
        modem["identification"] = run.ownText;
    }
    return {{"port", run.port},
            {"device", DeviceRecord(run.device)},
            {"image", {{"path", context.imagePath}, {"size", size}, {"sha256", sha}}},
            {"modem", modem},
            {"plan", run.plan},
            {"start", Utc(run.started)},
            {"end", Utc(run.ended)},
            {"linesSent", run.counts.linesSent},
            {"refusals", run.counts.refusals},
            {"restarts", run.counts.restarts},
            {"result", run.succeeded ? "succeeded" : "failed"},
            {"exitCode", run.exitCode},
            {"reason", run.reason}};
}

// What a factory keeps of every unit: written whole or not at all.
bool WriteReport(const std::string& path, const RunContext& context, const std::vector<std::unique_ptr<PortRun>>& runs,
                 std::string& why)
{
    nlohmann::json ports = nlohmann::json::array();
    for (const auto& run : runs)
        ports.push_back(PortRecord(*run, context));
    nlohmann::json report = RecordHeader(context.station);
    report["ports"] = ports;
    const std::string text = JsonText(report, 2) + "\n";
    return WriteFileAtomically(path, text.data(), text.size(), &why);
}

// A line per port: the port's record with what the report says once for
// all of them, so that every line stands on its own in a log that outlives
// the run.
bool AppendLog(const std::string& path, const RunContext& context, const std::vector<std::unique_ptr<PortRun>>& runs,
               std::string& why)
{
    bool ok = true;
    for (const auto& run : runs) {
        nlohmann::json line = RecordHeader(context.station);
        line.update(PortRecord(*run, context));
        ok = AppendWhole(path, JsonText(line, -1) + "\n", why) && ok;
    }
    return ok;
}

// The device a port name leads to, for telling whether two names on one
// command line mean the same port.
std::string SamePortKey(const std::string& port)
{
    std::string device = ResolvePortDevice(port);
    if (device.empty())
        return port;
#ifdef _WIN32
    // Windows' device names know no letter case.
    for (char& c : device)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
#else
    if (char* real = ::realpath(device.c_str(), nullptr)) {
        device = real;
        std::free(real);
    }
#endif
    return device;
}

// A port named twice would be opened twice: the second open finds the
// first one's lock and would be reported "in use by another program".
bool NamedTwice(const std::vector<std::string>& ports)
{
    for (std::size_t i = 0; i < ports.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (SamePortKey(ports[i]) == SamePortKey(ports[j])) {
                std::string how = ports[i] == ports[j] ? ports[i] + " is named twice"
                                                       : ports[j] + " and " + ports[i] + " name the same port";
                std::fprintf(stderr, "flash: %s; name each port once.\n", how.c_str());
                return true;
            }
    return false;
}

std::string RunLine(const PortRun& run)
{
    double elapsed = run.done ? run.seconds : std::chrono::duration<double>(Clock::now() - run.start).count();
    double rate = elapsed > 0 ? static_cast<double>(run.sent) / elapsed : 0;
    char line[256];
    std::snprintf(line, sizeof line, "%-14s %-28.28s %3d%% %9llu B %7.0f B/s %7.1f s  %s", run.port.c_str(),
                  run.identification.empty() ? "-" : run.identification.c_str(), run.percent,
                  static_cast<unsigned long long>(run.sent), rate, elapsed, run.state.c_str());
    return line;
}

}  // namespace

int RunBench(const FlashOptions& options)
{
    TerminalReporter::StopOnSignals();
    // A record that cannot be written must be known before any modem is
    // touched, not found out after the bench has been flashed.
    std::string why;
    if (!options.report.empty() && !CanWriteFileAtomically(options.report, why)) {
        std::fprintf(stderr, "The report %s cannot be written: %s Nothing was flashed.\n", options.report.c_str(),
                     why.c_str());
        return kExitFile;
    }
    if (!options.log.empty() && !AppendWhole(options.log, {}, why, true)) {
        std::fprintf(stderr, "The log %s cannot be written: %s Nothing was flashed.\n", options.log.c_str(),
                     why.c_str());
        return kExitFile;
    }
    std::vector<std::string> ports = options.ports;
    if (NamedTwice(ports))
        return kExitUsage;

    // The image and the loader are read once for the whole bench, before
    // any port is opened: every port gets the same bytes, the report's
    // digest is theirs, and an image that cannot be flashed is said alone.
    const FlashTarget common = TargetOf(options);
    const TargetFiles files = ReadTargetFiles(common);
    if (!ImageFileSound(common, files))
        return kExitFile;
    if (options.all) {
        // Every port on which the handshake finds a supported modem.
        TerminalScanUi scan;
        const std::vector<PortEntry> found = modem_scan::ScanAllPorts(scan);
        for (const PortEntry& row : found)
            if (row.modemFound)
                ports.push_back(row.portName);
        if (ports.empty()) {
            std::fprintf(stderr, "%s\n", NoModemFound(found, "; nothing was flashed.").c_str());
            return kExitPort;
        }
    }

    std::vector<std::unique_ptr<PortRun>> runs;
    std::vector<std::thread> workers;
    const Clock::time_point start = Clock::now();
    for (const std::string& port : ports) {
        runs.push_back(std::make_unique<PortRun>());
        runs.back()->port = port;
        runs.back()->start = start;
        runs.back()->started = runs.back()->ended = std::chrono::system_clock::now();
        runs.back()->device = DescribePortDevice(port);
    }
    for (const std::string& port : ports)
        PrintStaleLockNote(port);
    for (std::size_t i = 0; i < ports.size(); ++i) {
        FlashOptions one = options;
        one.port = ports[i];
        workers.emplace_back(FlashOne, std::ref(*runs[i]), TargetOf(one), files, options.yes);
    }

    // The display: redrawn in place on a terminal, a log line per change
    // otherwise.
    const bool live = ::isatty(::fileno(stdout)) != 0;
    bool drawn = false;
    for (;;) {
        bool allDone = true;
        {
            std::lock_guard<std::mutex> lock(g_runsMutex);
            if (live && drawn)
                std::printf("\x1b[%zuA", runs.size());
            for (auto& run : runs) {
                allDone = allDone && run->done;
                if (live) {
                    std::printf("\r\x1b[K%s\n", RunLine(*run).c_str());
                } else if (run->percent / 10 != run->lastLoggedTenth || run->state != run->lastLoggedState) {
                    run->lastLoggedTenth = run->percent / 10;
                    run->lastLoggedState = run->state;
                    std::printf("%s\n", RunLine(*run).c_str());
                }
            }
            drawn = true;
            std::fflush(stdout);
        }
        if (allDone)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    for (std::thread& worker : workers)
        worker.join();

    // The summary: every port's outcome, and the reason of each failure.
    std::printf("\n%-14s %-28s %-9s %-10s %8s  %s\n", "Port", "Identification", "Plan", "Result", "Time", "Reason");
    int status = kExitOk;
    for (const auto& run : runs) {
        status = std::max(status, run->exitCode);
        std::printf("%-14s %-28s %-9s %-10s %7.1fs  %s\n", run->port.c_str(),
                    run->identification.empty() ? "-" : run->identification.c_str(), run->plan.c_str(),
                    run->succeeded ? "succeeded" : "failed", run->seconds, Printable(run->reason, true).c_str());
    }
    std::fflush(stdout);
    RunContext context;
    context.station = options.station;
    context.imagePath = AbsolutePath(options.file);
    context.image = files.image.get();
    if (!options.log.empty() && !AppendLog(options.log, context, runs, why)) {
        std::fprintf(stderr, "The log %s could not be written: %s\n", options.log.c_str(), why.c_str());
        status = std::max(status, static_cast<int>(kExitFile));
    }
    if (!options.report.empty() && !WriteReport(options.report, context, runs, why)) {
        std::fprintf(stderr, "The report %s could not be written: %s\n", options.report.c_str(), why.c_str());
        status = std::max(status, static_cast<int>(kExitFile));
    }
    return status;
}
