#pragma once
// Why a port cannot be used, in words that tell the person what to do.

#include "serial/platform/SerialPlatform.h"

#include <string>
#include <string_view>

// Tries the port as the probe would: empty when it opens with the program's
// settings and shows CTS or DSR; otherwise one line saying what is wrong
// (a COM name the port directory cannot be trusted with, no such port, not a
// serial port, in use, not permitted, no modem signals) and what to do.
std::string DescribePortProblem(std::string_view portName);

// DescribePortProblem's line, and a few words of it for a list of ports:
// "missing", "in use by NAME (pid N)", "no permission: group dialout", ...
// Both empty when the port can be used.
struct PortProblem {
    std::string text;
    std::string brief;
};
PortProblem DiagnosePort(std::string_view portName);

#ifndef _WIN32
// The group whose members may read and write a device, by name (its number
// where the group has none); empty when the device cannot be looked at,
// when its group may not, and for root's group, which nobody should join
// for a port.
std::string DeviceGroup(const std::string& device);
#endif

// The one line to show beside a port that was used although a lock file
// claimed it: the lock was stale (its process does not hold the port) or
// was no lock file. Empty when there is nothing to say.
std::string StaleLockNote(std::string_view portName);

// What to say about a port that another program uses: the holder by name
// and pid where the system shows them, otherwise only that it is in use;
// with what to do about it. name is the port as the person knows it.
std::string PortInUseText(const std::string& name, const serial_platform::PortHolder& holder);
