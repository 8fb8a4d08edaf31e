#pragma once
// The simulated modem keeps time on the monotonic clock. The protocol model
// and the output queue never read the clock themselves: they are handed the
// current time, so tests can run them on made-up times.

#include <chrono>

using SimClock = std::chrono::steady_clock;
using SimTime = SimClock::time_point;
using SimDuration = SimClock::duration;

// The time one character takes on a serial line at the given baud rate
// (start bit, eight data bits, stop bit); zero for no pacing.
inline SimDuration CharacterTime(int baud)
{
    if (baud <= 0)
        return SimDuration::zero();
    return std::chrono::duration_cast<SimDuration>(std::chrono::nanoseconds(10'000'000'000LL / baud));
}

inline SimDuration SecondsToDuration(double seconds)
{
    return std::chrono::duration_cast<SimDuration>(std::chrono::duration<double>(seconds));
}
