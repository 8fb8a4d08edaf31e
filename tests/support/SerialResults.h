#pragma once
// Open and reply results by name and number in a failed expectation, as
// GoogleTest would otherwise show an enum class as raw bytes.

#include "serial/SerialLink.h"

#include <ostream>

inline void PrintTo(OpenStatus status, std::ostream* os)
{
    const char* name = "unknown";
    switch (status) {
    case OpenStatus::Ok:
        name = "Ok";
        break;
    case OpenStatus::Failed:
        name = "Failed";
        break;
    case OpenStatus::SettingsRefused:
        name = "SettingsRefused";
        break;
    case OpenStatus::NoSettings:
        name = "NoSettings";
        break;
    case OpenStatus::NoTimeouts:
        name = "NoTimeouts";
        break;
    case OpenStatus::TimeoutsRefused:
        name = "TimeoutsRefused";
        break;
    }
    *os << "OpenStatus::" << name << " (" << static_cast<int>(status) << ")";
}

inline void PrintTo(ReplyStatus status, std::ostream* os)
{
    const char* name = "unknown";
    switch (status) {
    case ReplyStatus::Ok:
        name = "Ok";
        break;
    case ReplyStatus::TooLong:
        name = "TooLong";
        break;
    case ReplyStatus::WriteFailed:
        name = "WriteFailed";
        break;
    case ReplyStatus::TimedOut:
        name = "TimedOut";
        break;
    case ReplyStatus::Stopped:
        name = "Stopped";
        break;
    case ReplyStatus::PortGone:
        name = "PortGone";
        break;
    }
    *os << "ReplyStatus::" << name << " (" << static_cast<int>(status) << ")";
}
