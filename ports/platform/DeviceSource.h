#pragma once
// Where the list of serial devices comes from: the system's device registry
// (udev on Linux), or a list a test supplies.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct SerialDevice {
    std::string node;         // the device node, /dev/ttyUSB0
    std::string stableLink;   // a name that survives replugging, /dev/serial/by-id/...; may be empty
    std::string description;  // model and vendor, for the port list
    std::string problem;      // why it cannot be used, with what to do; empty when usable
};

class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    // The serial devices with real hardware behind them, in a stable order.
    // False when the registry cannot be read at all.
    virtual bool ListDevices(std::vector<SerialDevice>& devices) = 0;
};

// Device nodes in name-and-number order: /dev/ttyS2 before /dev/ttyS10,
// /dev/ttyACM0 before /dev/ttyS0. Runs of digits compare by their value;
// names equal in that sense compare as plain text, so the order is total.
inline bool NodeNameLess(std::string_view a, std::string_view b)
{
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t aEnd = i, bEnd = j;
            while (aEnd < a.size() && digit(a[aEnd]))
                ++aEnd;
            while (bEnd < b.size() && digit(b[bEnd]))
                ++bEnd;
            std::string_view x = a.substr(i, aEnd - i), y = b.substr(j, bEnd - j);
            x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
            y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
            if (x.size() != y.size())
                return x.size() < y.size();
            if (x != y)
                return x < y;
            i = aEnd;
            j = bEnd;
        } else if (a[i] != b[j]) {
            return a[i] < b[j];
        } else {
            ++i;
            ++j;
        }
    }
    if ((i == a.size()) != (j == b.size()))
        return i == a.size();
    return a < b;
}

// The system's registry of devices.
std::unique_ptr<DeviceSource> SystemDeviceSource();
