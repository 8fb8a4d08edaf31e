#pragma once
// Where the list of serial devices comes from: the system's device registry
// (udev on Linux), or a list a test supplies.

#include <memory>
#include <string>
#include <vector>

struct SerialDevice {
    std::string node;          // the device node, /dev/ttyUSB0
    std::string stableLink;    // a name that survives replugging, /dev/serial/by-id/...; may be empty
    std::string description;   // model and vendor, for the port list
    std::string problem;       // why it cannot be used, with what to do; empty when usable
};

class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    // The serial devices with real hardware behind them, in a stable order.
    // False when the registry cannot be read at all.
    virtual bool ListDevices(std::vector<SerialDevice>& devices) = 0;
};

// The system's registry of devices.
std::unique_ptr<DeviceSource> SystemDeviceSource();
