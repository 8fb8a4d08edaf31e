#pragma once
// The Wine prefix's serial device map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM),
// where Windows of the NT family lists the present ports. Wine maps only the
// machine's own serial devices there; a test adds its simulated modem's
// port as a driver would. The map lives as long as the Wine server.

#include "tests/support/Process.h"

#include <string>

// Adds "COMn" under a value of the test's own; the result of `wine reg add`.
ProcessResult AddToWineSerialMap(const std::string& port);

// Takes the value AddToWineSerialMap gave port out again.
ProcessResult RemoveFromWineSerialMap(const std::string& port);
