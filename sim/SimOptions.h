#pragma once
// modemsim's command line.

#include "sim/ModemModel.h"
#include "sim/OutputQueue.h"

#include <string>

struct SimOptions {
    ModemConfig modem;
    OutputShaping shaping;
    int portNumber = 0;    // COMn to register; 0: none
    std::string wineLink;  // the Wine prefix's dosdevices/comN to link; empty: none
    bool replace = false;
    bool verbose = false;
    std::string flashIn;
    std::string flashOut;
};

enum SimExitCode { kSimExitOk = 0, kSimExitFailed = 1, kSimExitUsage = 2 };

// Reads the command line into options. Returns -1 to go on, otherwise the
// status to exit with at once (0 after --help, kSimExitUsage after a bad
// option, its message already printed).
int ParseSimOptions(int argc, char** argv, SimOptions& options);
