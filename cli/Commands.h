#pragma once
// The subcommands of flashloader-cli. Each returns the program's exit status.

#include <cstdint>
#include <string>

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct FlashOptions {
    std::string port;
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
