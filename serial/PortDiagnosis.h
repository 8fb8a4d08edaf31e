#pragma once
// Why a port cannot be used, in words that tell the person what to do.

#include <string>
#include <string_view>

// Tries the port as the probe would: empty when it opens with the program's
// settings and shows CTS or DSR; otherwise one line saying what is wrong
// (no such port, in use, not permitted, no modem signals) and what to do.
std::string DescribePortProblem(std::string_view portName);
