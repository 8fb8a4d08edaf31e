#pragma once
// The work behind the confirmation window: the check when it opens
// (identification of image and modem, load plan, mismatches) and the
// flashing run that its Perform Loading button starts. It owns the open port
// from the check until it is destroyed.

#include "base/FlashReporter.h"
#include "flash/HexFile.h"
#include "flash/ModemInfo.h"
#include "flash/ModemLink.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

// What to flash where: the port and rate, the image, and the flash loader
// file sent first when the modem's resident loader cannot take the image.
struct FlashTarget {
    std::string port;
    std::int32_t baudRate = 0;
    std::string imagePath;
    std::string loaderPath;
};

// A target's two files as read, once: the check, the run and whatever
// records it all take these bytes, so that a file replaced meanwhile (the
// confirmation window may stand open for minutes) is never what gets
// flashed. A bench reads them once for all its ports.
struct TargetFiles {
    std::shared_ptr<const FileContents> image;
    std::shared_ptr<const FileContents> loader;
};
TargetFiles ReadTargetFiles(const FlashTarget& target);

// The flash loader file's name; the windows take it from the start
// directory.
inline constexpr char kLoaderFileName[] = "FLASHLDR.HEX";

// What a run will do, settled from the two records and the files before
// anything goes to the modem.
struct RunPlan {
    enum Verdict {
        Go,             // the run can start
        Incompatible,   // the types or sector sizes differ
        ImageRefused,   // the image file cannot be sent whole
        LoaderRefused,  // a complete load, and the loader file cannot be sent whole
    } verdict = Go;
    LoadPlan plan = NoModem;  // as the run will take it
    std::string reason;       // the run's failure reason, for every verdict but Go
    std::string detail;       // which file, which line, what is wrong
    HexFile image;
    HexFile loader;  // only for a complete load
};

// What a run sent and what it took: lines written (resends not counted),
// refusals seen and loader restarts made.
struct RunCounts {
    std::uint32_t linesSent = 0;
    std::uint32_t refusals = 0;
    std::uint32_t restarts = 0;
};

class FlashSession {
public:
    using CheckResult = ::CheckResult;
    enum DownloadMode { LoaderDownload, ImageDownload };

    // files: the target's files as read before; read by the check when none.
    // limits: the time the modem is given for each answer, the line's own
    // unless a test drives a far end of its own.
    FlashSession(FlashReporter& reporter, FlashTarget target, TargetFiles files = {},
                 const modem_protocol::LineTimeLimits& limits = {});
    ~FlashSession();
    FlashSession(const FlashSession&) = delete;
    FlashSession& operator=(const FlashSession&) = delete;

    // Reads the image and loader files (unless the session was given them),
    // takes the image's identification area from them, opens the port at
    // the rate and identifies the modem, shows both rows and tells how the
    // check ended. When the port cannot be opened or no modem answers, shows
    // the "Error" box after that; the window then ends.
    CheckResult CheckAtOpening();

    // The modem's own text about itself (its answer to ATI, as the scan
    // shows it), asked on the port the check opened, before the run starts;
    // empty when it gives none. Records of a bench keep it.
    std::string AskIdentification();

    // The flashing run, start to end. True only when the whole image was
    // sent and every line of it acknowledged.
    bool OnPerformLoading();

    // The comparison and both files' checks, as the run makes them: the
    // plan the run will take, or the reason it will refuse to start.
    RunPlan PlanRun() const;

    const FlashTarget& Target() const { return m_target; }
    const ModemInfo& ImageInfo() const { return m_imageInfo; }
    const ModemInfo& ModemInfoRecord() const { return m_modemInfo; }
    LoadPlan Plan() const { return m_plan; }
    std::uint16_t Mismatches() const { return ModemLink::CompareInfo(m_imageInfo, m_modemInfo); }

    // Why the run failed, as shown before the closing sentence; and, where
    // known, which line or answer it (or the check) failed on.
    const std::string& FailureReason() const { return m_reason; }
    const std::string& FailureDetail() const { return m_detail; }
    const RunCounts& Counts() const { return m_counts; }
    // How the run ended: Succeeded also before any run.
    RunResult Outcome() const { return {m_outcome, m_reason, m_detail, 0}; }

private:
    bool DownloadHexFile(const HexFile& file, DownloadMode mode, ReplyBuffer& reply);
    bool SendLoaderLine(const HexRecord& record, const std::string& sendText, bool last, ReplyBuffer& reply);
    // first: the image's first line, whose wait the reporter follows.
    bool SendImageLine(const HexRecord& record, std::chrono::milliseconds limit, const std::string& addressRecord,
                       ReplyBuffer& reply, bool first);
    // Asks the front end whether to go on; remembers a stop it asked for.
    GoOnAnswer AskGoOn();
    // What ended the wait for a line, in words, when it was a stop request
    // or the port going away; empty otherwise.
    std::string Interruption(const HexRecord& record);
    void ShowStatus(const std::string& text, StatusKind kind) { m_reporter.ShowStatus(text, kind); }
    void EnterPhase(RunPhase phase);
    bool Fail(RunOutcome outcome, const std::string& reason, const std::string& detail = {});

    FlashReporter& m_reporter;
    FlashTarget m_target;
    TargetFiles m_files;
    ModemLink m_link;
    PortHandle m_port = kInvalidPort;
    ModemInfo m_imageInfo;
    ModemInfo m_modemInfo;
    LoadPlan m_plan = NoModem;
    std::string m_reason;
    std::string m_detail;
    RunCounts m_counts;
    RunOutcome m_outcome = RunOutcome::Succeeded;
    RunPhase m_phase = RunPhase::Checking;
    std::uint32_t m_start = 0;  // when the run began
    bool m_stopAsked = false;   // the front end answered Stop
};

// "Done in " and the elapsed time in minutes and seconds.
std::string FormatElapsed(std::uint32_t elapsedMs);

// The status a run's result is shown with: the success sentence, or the
// reason followed by the closing sentence that asks to try again; and the
// kind of status that is.
std::string RunResultStatus(const RunResult& result);
StatusKind RunResultKind(const RunResult& result);

// After a run that failed or stopped once the modem had been told to start
// its loader (its flash may be erased): what to do, as a new check finds no
// modem on a modem that waits in its loader. Empty for other outcomes, and
// where the reason or detail says it already.
std::string RestartAdvice(const RunResult& result);

// A text of the windows as a terminal says it: without the sentence that
// points at a button of theirs.
std::string CommandLineText(const std::string& text);

// What is wrong with the loader file, in words a person can act on: the
// file is not the image they chose, and they may never have heard
// of it. Says where it was looked for, what is wrong with a file that is
// there (error, as the check has it), and that it comes with the firmware.
std::string LoaderFileProblem(const FileContents& contents, const std::string& path, const std::string& error);

// The reason shown when the records differ in a way that stops the run.
std::string IncompatibilityText(std::uint16_t flags);

// The three columns of a record as the window shows them.
InfoRow FormatInfoRow(const ModemInfo& info, bool known);
