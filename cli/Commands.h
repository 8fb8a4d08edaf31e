#pragma once
// The subcommands of flashloader-cli. Each returns the program's exit status.

#include <cstdint>
#include <string>
#include <vector>

struct FlashTarget;

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct FlashOptions {
    std::string port;
    std::vector<std::string> ports;  // flash: every --port given
    bool all = false;                // flash: every port with a supported modem
    std::string report;              // flash: the JSON report's path
    std::int32_t baud = 57600;
    std::string file;
    std::string loader;  // empty: FLASHLDR.HEX in the current directory
    bool yes = false;
    bool trace = false;
};

int RunAbout();
int RunSelection();
int RunProbe(const std::string& port);
int RunScan();
int RunInfo(const FlashOptions& options);
int RunFlash(const FlashOptions& options);
// Several ports (or --all) at the same time.
int RunBench(const FlashOptions& options);

// A lock file that would have kept the port from a more careful program but
// is stale, said on standard error before the port is used.
void PrintStaleLockNote(const std::string& port);

// What the options name: the port, rate, image and loader.
FlashTarget TargetOf(const FlashOptions& options);
