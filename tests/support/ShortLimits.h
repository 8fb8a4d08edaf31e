#pragma once
// Time limits for tests that play the modem themselves or run the simulated
// one: short enough that a silent modem costs a fraction of a second, long
// enough that one that answers (a thread or a process on the same busy
// machine) is never taken for silent. The code under test is the real one;
// only the limits it is given differ from the line's.

#include "serial/ModemProtocol.h"

#include <chrono>

inline modem_protocol::LineTimeLimits ShortLimits()
{
    using std::chrono::milliseconds;
    modem_protocol::LineTimeLimits limits;
    limits.wakeUp = milliseconds(500);
    limits.command = milliseconds(300);
    limits.attention = milliseconds(400);
    limits.typeQuery = milliseconds(600);
    limits.start = milliseconds(500);
    limits.line = milliseconds(500);
    limits.erase = milliseconds(1500);
    limits.restart = milliseconds(1500);
    return limits;
}

// Milliseconds of a limit, for comparing with ElapsedMs.
inline long long Ms(std::chrono::milliseconds limit) { return static_cast<long long>(limit.count()); }
