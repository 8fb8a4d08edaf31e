#pragma once
// What stands behind a port name, for the records a bench keeps of every
// unit: the device it leads to, a name of it that survives replugging, and
// the USB identity of the converter or modem where there is one.

#include <optional>
#include <string>

struct UsbIdentity {
    std::string vendorId;   // four hex digits, as the device gives them
    std::string productId;  // four hex digits
    std::string serial;     // empty when the device has none
    std::string manufacturer;
    std::string product;
};

struct PortDevice {
    std::string path;        // the device the name leads to; empty when it leads to none
    std::string stablePath;  // /dev/serial/by-id/... on Linux; empty when there is none
    std::optional<UsbIdentity> usb;
};

// From udev on Linux (the link followed to the device node), from the
// system's device list (SetupAPI) on Windows.
PortDevice DescribePortDevice(const std::string& portName);
