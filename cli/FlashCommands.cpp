// info and flash: the check that the confirmation window makes when it
// opens, and the whole flashing run, on a terminal.

#include "base/Paths.h"
#include "base/Version.h"
#include "cli/Commands.h"
#include "cli/Printable.h"
#include "cli/Records.h"
#include "cli/TerminalReporter.h"
#include "flash/Digest.h"
#include "flash/FlashSession.h"
#include "ports/PortDevice.h"
#include "resources/StringTable.h"
#include "serial/PortDiagnosis.h"

#include <chrono>
#include <cstdio>

namespace {

const char* PlanText(LoadPlan plan)
{
    switch (plan) {
    case LoadNormal:
        return "normal load: the modem's resident loader takes the image";
    case LoadComplete:
        return "complete load: FLASHLDR.HEX goes first";
    case NoModem:
        break;
    }
    return "none: no modem";
}

std::string MismatchText(std::uint16_t flags)
{
    std::string text;
    for (auto [flag, name] : {std::pair{MismatchSectorSize, "sector sizes"}, std::pair{MismatchType, "types"},
                              std::pair{MismatchChecksum, "checksums"}})
        if (flags & flag)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return text.empty() ? "none" : text;
}

// Every byte on the line, with the milliseconds since the start, escaped,
// after a first line that names the program and its version: a trace sent
// in from a bench says what made it.
void StartTrace()
{
    std::fprintf(stderr, "flashloader-cli %s\n", ProgramVersion());
    static const auto start = std::chrono::steady_clock::now();
    SerialLink::SetTrace([](TraceDirection direction, const char* bytes, std::size_t count) {
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            unsigned char c = static_cast<unsigned char>(bytes[i]);
            if (c == '\r')
                text += "\\r";
            else if (c == '\n')
                text += "\\n";
            else if (c == '\\')
                text += "\\\\";
            else if (c >= 0x20 && c < 0x7F)
                text += static_cast<char>(c);
            else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                text += hex;
            }
        }
        std::fprintf(stderr, "[%10.3f] %s %s\n", ms / 1000.0, direction == TraceDirection::Sent ? ">>" : "<<",
                     text.c_str());
    });
}

// The check at opening: kExitOk when the modem is ready, else the exit
// status, with what went wrong said.
int Check(FlashSession& session, const FlashOptions& options)
{
    PrintStaleLockNote(options.port);
    FlashSession::CheckResult result = session.CheckAtOpening();
    // Below the "Error" box: what exactly went wrong, where known.
    if (result == FlashSession::CheckResult::NoModem && !session.FailureDetail().empty())
        std::fprintf(stderr, "%s\n", Printable(session.FailureDetail(), true).c_str());
    if (result == FlashSession::CheckResult::PortFailed) {
        std::string problem = DescribePortProblem(options.port);
        if (!problem.empty())
            std::fprintf(stderr, "%s\n", Printable(problem, true).c_str());
    }
    switch (result) {
    case FlashSession::CheckResult::Ready:
        return kExitOk;
    case FlashSession::CheckResult::Stopped:
        std::fprintf(stderr, "Stopped at your request while the modem was being checked; nothing was flashed.\n");
        return kExitFailed;
    case FlashSession::CheckResult::PortFailed:
    case FlashSession::CheckResult::NoModem:
        break;
    }
    return kExitPort;
}

// What a plan that refuses the run is, for a script: the files' own
// problems apart from a modem that does not take them.
int RefusalStatus(RunPlan::Verdict verdict)
{
    switch (verdict) {
    case RunPlan::Go:
        return kExitOk;
    case RunPlan::ImageRefused:
    case RunPlan::LoaderRefused:
        return kExitFile;
    case RunPlan::Incompatible:
        break;
    }
    return kExitFailed;
}

}  // namespace

std::string NoModemFound(const std::vector<PortEntry>& ports, const char* ending)
{
    if (ports.empty())
        return LoadResString(IDS_NO_PORT_AVAILABLE);
    if (ports.size() == 1)
        return "No supported modem answered on " + ports.front().portName + ending;
    return "No supported modem answered on any of the " + std::to_string(ports.size()) + " ports" + ending;
}

int RunStatus(bool flashed, RunPlan::Verdict verdict)
{
    if (flashed)
        return kExitOk;
    return verdict == RunPlan::Go ? kExitFailed : RefusalStatus(verdict);
}

namespace {

void PrintRows(const TerminalReporter& reporter, const FlashSession& session, const RunPlan& run)
{
    auto row = [](const char* head, const InfoRow& info) {
        std::printf("%-8s%-16s%-14s%s\n", head, info.type.c_str(), info.sectorSize.c_str(), info.checksum.c_str());
    };
    std::printf("%-8s%-16s%-14s%s\n", "", "Type", "Sector Size", "Checksum");
    row("File:", reporter.FileRow());
    row("Modem:", reporter.ModemRow());
    const char* plan = run.verdict == RunPlan::Go || run.verdict == RunPlan::LoaderRefused
                           ? PlanText(run.plan)
                           : "none: the run would be refused";
    std::printf("Load plan:  %s\nMismatches: %s\n", plan, MismatchText(session.Mismatches()).c_str());
    std::fflush(stdout);
}

void PrintInfoJson(FlashSession& session, const RunPlan& run, const FileContents& image)
{
    const FlashTarget& target = session.Target();
    nlohmann::json answer = RecordHeader();
    nlohmann::json modem = IdentificationRecord(session.ModemInfoRecord());
    modem["identification"] = session.AskIdentification();
    nlohmann::json file = IdentificationRecord(session.ImageInfo());
    file["path"] = AbsolutePath(target.imagePath);
    file["size"] = image.bytes.size();
    file["sha256"] = Sha256Hex(image.bytes);
    nlohmann::json mismatches = nlohmann::json::array();
    for (auto [flag, name] : {std::pair{MismatchSectorSize, "sectorSize"}, std::pair{MismatchType, "type"},
                              std::pair{MismatchChecksum, "checksum"}})
        if (session.Mismatches() & flag)
            mismatches.push_back(name);
    const bool goes = run.verdict == RunPlan::Go;
    answer.update({{"port", target.port},
                   {"device", DeviceRecord(DescribePortDevice(target.port))},
                   {"image", file},
                   {"modem", modem},
                   {"plan", goes || run.verdict == RunPlan::LoaderRefused
                                ? nlohmann::json(run.plan == LoadComplete ? "complete" : "normal")
                                : nlohmann::json()},
                   {"mismatches", mismatches},
                   {"result", goes ? "ready" : "refused"},
                   {"reason", goes ? std::string() : run.reason + (run.detail.empty() ? "" : " " + run.detail)}});
    std::printf("%s\n", JsonText(answer, 2).c_str());
    std::fflush(stdout);
}

}  // namespace

void PrintStaleLockNote(const std::string& port)
{
    if (std::string note = StaleLockNote(port); !note.empty())
        std::fprintf(stderr, "%s\n", Printable(note).c_str());
}

FlashTarget TargetOf(const FlashOptions& options)
{
    FlashTarget target;
    target.port = options.port;
    target.baudRate = options.baud;
    target.imagePath = options.file;
    if (!options.loader.empty()) {
        target.loaderPath = options.loader;
    } else {
        std::string directory;
        CurrentDirectory(directory);
        target.loaderPath = JoinPath(directory, "FLASHLDR.HEX");
    }
    return target;
}

bool ImageFileSound(const FlashTarget& target, const TargetFiles& files)
{
    HexFile image;
    std::string error;
    if (CheckHexContents(*files.image, target.imagePath, kMaxImageDataBytes, image, error))
        return true;
    std::fprintf(stderr,
                 "%s\nNothing was sent to the modem: give the firmware image, an Intel HEX file, with --file.\n",
                 Printable(error, true).c_str());
    return false;
}

int RunInfo(const FlashOptions& options)
{
    if (options.trace)
        StartTrace();
    TerminalReporter::StopOnSignals();
    // The files first: a file problem is said alone, and the modem hears
    // nothing of it.
    const FlashTarget target = TargetOf(options);
    const TargetFiles files = ReadTargetFiles(target);
    if (!ImageFileSound(target, files))
        return kExitFile;
    TerminalReporter reporter(false);
    FlashSession session(reporter, target, files);
    if (int status = Check(session, options); status != kExitOk)
        return status;
    // The same check of the records and the files that the run makes first:
    // what info accepts, flash takes.
    RunPlan run = session.PlanRun();
    if (options.json)
        PrintInfoJson(session, run, *files.image);
    else
        PrintRows(reporter, session, run);
    if (run.verdict == RunPlan::Go)
        return kExitOk;
    std::fprintf(stderr, "%s\n", Printable(run.reason, true).c_str());
    if (!run.detail.empty())
        std::fprintf(stderr, "%s\n", Printable(run.detail, true).c_str());
    return RefusalStatus(run.verdict);
}

int RunFlash(const FlashOptions& options)
{
    if (options.trace)
        StartTrace();
    TerminalReporter::StopOnSignals();
    const FlashTarget target = TargetOf(options);
    const TargetFiles files = ReadTargetFiles(target);
    if (!ImageFileSound(target, files))
        return kExitFile;
    TerminalReporter reporter(options.yes);
    FlashSession session(reporter, target, files);
    if (int status = Check(session, options); status != kExitOk)
        return status;
    // The loader file is checked here, as soon as the modem's answers tell
    // that a complete load needs it, and before the modem is told to start.
    const RunPlan plan = session.PlanRun();
    PrintRows(reporter, session, plan);
    if (session.OnPerformLoading())
        return kExitOk;
    return RunStatus(false, plan.verdict);
}
