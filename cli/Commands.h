#pragma once
// The subcommands of flashloader-cli. Each returns the program's exit status.

#include "flash/FlashSession.h"
#include "ports/PortTable.h"

#include <cstdint>
#include <string>
#include <vector>

// What a script can tell apart. With several ports, the highest code of a
// port that failed; a stop by signal before everything else.
enum ExitCode {
    kExitOk = 0,        // every port succeeded
    kExitFailed = 1,    // a run failed, or the modem refused the image
    kExitUsage = 2,     // the command line is wrong
    kExitPort = 3,      // a port missing, in use, not permitted, or no modem answered on it
    kExitFile = 4,      // the image, loader, report or log missing, unreadable or not valid
    kExitSignal = 128,  // plus the number of the signal that stopped the run
};

// 128 and the signal that asked the run to stop (Ctrl-C: 130, SIGTERM: 143,
// SIGHUP: 129) in place of a failed status; status itself when none came or
// nothing failed.
int StatusAfterStop(int status);

// The status of a flashing run that got past the check: kExitOk when it
// flashed, kExitFile when the plan refused the image or the loader, else
// kExitFailed.
int RunStatus(bool flashed, RunPlan::Verdict verdict);

// What a scan of ports that found no modem says: that there is no port at
// all (the program's own text), or that none of them answered (naming the
// port when there is one), followed by ending.
std::string NoModemFound(const std::vector<PortEntry>& ports, const char* ending);

struct FlashOptions {
    std::string port;
    std::vector<std::string> ports;  // flash: every --port given
    bool all = false;                // flash: every port with a supported modem
    std::string report;              // flash: the JSON report's path
    std::string log;                 // flash: the JSON Lines log appended to
    std::string station;             // flash: the bench's name, for the records
    std::int32_t baud = 57600;
    std::string file;
    std::string loader;  // empty: FLASHLDR.HEX in the current directory
    bool yes = false;
    bool trace = false;
    bool json = false;  // info: the answer in JSON
};

int RunAbout();
int RunSelection();
int RunProbe(const std::string& port, bool json);
int RunScan(bool json);
int RunInfo(const FlashOptions& options);
int RunFlash(const FlashOptions& options);
// Several ports (or --all) at the same time.
int RunBench(const FlashOptions& options);

// A lock file that would have kept the port from a more careful program but
// is stale, said on standard error before the port is used.
void PrintStaleLockNote(const std::string& port);

// What the options name: the port, rate, image and loader.
FlashTarget TargetOf(const FlashOptions& options);

struct TargetFiles;
// The image as read, checked before any port is opened: false, with the
// problem said on standard error, when it cannot be flashed as it is.
bool ImageFileSound(const FlashTarget& target, const TargetFiles& files);
