#pragma once
// What the flashing engine tells its front end while it checks and flashes:
// the status texts and the identification rows it shows, and the run's
// events (its phase, the progress in numbers, each long wait with its
// limit, its result with the reason). How those look (captions, percent
// texts, titles, beeps, a busy bar) is the front end's business: the
// windows share the rules for it, the terminal and the bench read the
// events themselves, the tests record them.

#include "base/UserInterface.h"

#include <cstdint>
#include <string>

enum class StatusKind { Stop = 1, Question = 2, Info = 3 };
// What the modem is busy with while the program waits long for its answer.
enum class ModemWait { Erasing, Restarting };

// One row of the identification table: type name, sector size, checksum.
struct InfoRow {
    std::string type;
    std::string sectorSize;
    std::string checksum;
};

// How the check that precedes a run ended. Stopped: the person asked to
// stop while the modem was being checked.
enum class CheckResult { Ready, PortFailed, NoModem, Stopped };

struct CheckOutcome {
    CheckResult result = CheckResult::Ready;
    std::uint16_t mismatches = 0;  // of the two records, for Ready
    std::string detail;            // what exactly went wrong, where known
};

// What a run is busy with, in the order a run goes through them. A complete
// load sends the loader file first; a normal one has the resident loader
// erase the flash instead. A refused image line may have the loader
// restarted, after which the image goes on.
enum class RunPhase {
    Checking,          // the port, the modem and the image are being looked at
    Starting,          // the run has begun; both files are checked whole
    Erasing,           // the start command: the modem erases its flash
    LoadingLoader,     // the loader file goes first
    LoadingImage,      // the image goes line by line
    RestartingLoader,  // the modem restarts its loader for a refused line
    Done,              // the run is over; its result follows
};

// Which file a run is sending.
enum class RunFile { Loader, Image };

// Where the sending of a file stands: once with nothing sent yet as it
// starts, then after every line the modem acknowledged.
struct RunProgress {
    RunFile file = RunFile::Image;
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesTotal = 0;
    std::uint32_t linesSent = 0;
    std::uint32_t linesTotal = 0;
};

// A long wait for the modem, which may take minutes: for the answer to the
// image's first line (the modem erases its flash first), or for a restarted
// loader. Told with waitedMs 0 as it begins, then about four times a second.
// The next progress or the run's end ends it.
struct RunWait {
    ModemWait what = ModemWait::Erasing;
    std::uint32_t waitedMs = 0;
    std::uint32_t limitMs = 0;  // when the modem counts as silent
};

// How a run ended.
enum class RunOutcome {
    Succeeded,
    Incompatible,   // the records differ in type or sector size
    ImageRefused,   // the image file cannot be sent whole
    LoaderRefused,  // the loader file cannot be sent whole
    Stopped,        // asked to stop before anything went to the modem
    StartFailed,    // the start command was not acknowledged
    LoaderFailed,   // a line of the loader file was not acknowledged
    WrongVersion,   // the loader that answered cannot take this modem's image
    ImageFailed,    // a line of the image was not acknowledged, or the run was ended
};

struct RunResult {
    RunOutcome outcome = RunOutcome::Succeeded;
    std::string reason;           // the failure's reason as shown; empty on success
    std::string detail;           // which file, which line, which answer, where known
    std::uint32_t elapsedMs = 0;  // since the run began
};

// The front end's answer when the engine asks whether to go on.
// Stop: the person asked to stop. Quit: the application is being ended.
enum class GoOnAnswer { GoOn, Stop, Quit };

class FlashReporter : public MessageUi {
public:
    // The status area: text with the icon of its kind; the identification
    // rows of the image and of the modem. Each front end takes what it shows.
    virtual void ShowStatus(const std::string& /*text*/, StatusKind /*kind*/) {}
    virtual void ShowFileInfo(const InfoRow& /*row*/) {}
    virtual void ShowModemInfo(const InfoRow& /*row*/) {}

    // Before anything is said about the check's failure.
    virtual void OnChecked(const CheckOutcome& /*outcome*/) {}
    virtual void OnPhase(RunPhase /*phase*/) {}
    virtual void OnProgress(const RunProgress& /*progress*/) {}
    virtual void OnWait(const RunWait& /*wait*/) {}
    virtual void OnResult(const RunResult& /*result*/) {}

    // Asked once the modem has been identified, before the modem is
    // changed, before every line and after a file's last one, so that a
    // stop before the start leaves the modem as it was. A window handles
    // its waiting messages here.
    virtual GoOnAnswer ShouldGoOn() { return GoOnAnswer::GoOn; }
};
