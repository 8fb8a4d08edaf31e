// Serial devices from udev: tty devices with a parent device (a UART, a USB
// serial converter, a USB modem), described from the udev database.

#include "ports/PortDevice.h"
#include "ports/platform/DeviceSource.h"
#include "serial/PortDiagnosis.h"
#include "serial/PortNames.h"

#include <libudev.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Property(udev_device* device, const char* name)
{
    const char* value = udev_device_get_property_value(device, name);
    return value != nullptr ? value : "";
}

std::string Describe(udev_device* device, udev_device* parent)
{
    std::string model = Property(device, "ID_MODEL_FROM_DATABASE");
    if (model.empty())
        model = Property(device, "ID_MODEL");
    std::string vendor = Property(device, "ID_VENDOR_FROM_DATABASE");
    if (vendor.empty())
        vendor = Property(device, "ID_VENDOR");
    std::replace(model.begin(), model.end(), '_', ' ');
    std::replace(vendor.begin(), vendor.end(), '_', ' ');
    if (!model.empty() && !vendor.empty())
        return model + " (" + vendor + ")";
    if (!model.empty())
        return model;
    const char* driver = udev_device_get_driver(parent);
    if (driver != nullptr && (std::strcmp(driver, "serial8250") == 0 || std::strcmp(driver, "port") == 0))
        return "Serial port";
    if (driver != nullptr)
        return std::string("Serial port (") + driver + ")";
    return "Serial port";
}

// A UART driver registers every port it could have; only those with a
// chip behind them report a type other than 0 (unknown).
bool HasHardware(udev_device* tty, udev_device* parent)
{
    const char* subsystem = udev_device_get_subsystem(parent);
    if (subsystem != nullptr && (std::strcmp(subsystem, "usb") == 0 || std::strcmp(subsystem, "usb-serial") == 0))
        return true;
    const char* type = udev_device_get_sysattr_value(tty, "type");
    return type == nullptr || std::strcmp(type, "0") != 0;
}

std::string StableLink(udev_device* device)
{
    std::string fallback;
    for (udev_list_entry* link = udev_device_get_devlinks_list_entry(device); link != nullptr;
         link = udev_list_entry_get_next(link)) {
        std::string name = udev_list_entry_get_name(link);
        if (name.rfind("/dev/serial/by-id/", 0) == 0)
            return name;
        if (name.rfind("/dev/serial/by-path/", 0) == 0)
            fallback = name;
    }
    return fallback;
}

class UdevDeviceSource : public DeviceSource {
public:
    bool ListDevices(std::vector<SerialDevice>& devices) override
    {
        devices.clear();
        udev* context = udev_new();
        if (context == nullptr)
            return false;
        udev_enumerate* enumerate = udev_enumerate_new(context);
        bool ok = enumerate != nullptr && udev_enumerate_add_match_subsystem(enumerate, "tty") >= 0 &&
                  udev_enumerate_scan_devices(enumerate) >= 0;
        if (ok) {
            for (udev_list_entry* entry = udev_enumerate_get_list_entry(enumerate); entry != nullptr;
                 entry = udev_list_entry_get_next(entry)) {
                udev_device* tty = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
                if (tty == nullptr)
                    continue;
                udev_device* parent = udev_device_get_parent(tty);
                const char* node = udev_device_get_devnode(tty);
                if (parent != nullptr && node != nullptr && HasHardware(tty, parent)) {
                    SerialDevice device;
                    device.node = node;
                    device.stableLink = StableLink(tty);
                    device.description = Describe(tty, parent);
                    if (::access(node, R_OK | W_OK) != 0) {
                        const std::string group = DeviceGroup(node);
                        device.problem = group.empty() ? "permission denied: ask an administrator for access"
                                                       : "permission denied: join the group " + group +
                                                             " (sudo usermod -aG " + group + " $USER) and log in again";
                    }
                    devices.push_back(std::move(device));
                }
                udev_device_unref(tty);
            }
            // Enumeration order is the kernel's; sort by node for stability.
            std::sort(devices.begin(), devices.end(),
                      [](const SerialDevice& a, const SerialDevice& b) { return NodeNameLess(a.node, b.node); });
        }
        if (enumerate != nullptr)
            udev_enumerate_unref(enumerate);
        udev_unref(context);
        return ok;
    }
};

}  // namespace

PortDevice DescribePortDevice(const std::string& portName)
{
    PortDevice result;
    const std::string device = ResolvePortDevice(portName);
    if (device.empty())
        return result;
    char* real = ::realpath(device.c_str(), nullptr);
    if (real == nullptr)
        return result;
    result.path = real;
    std::free(real);
    struct stat info {};
    if (::stat(result.path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return result;
    udev* context = udev_new();
    if (context == nullptr)
        return result;
    // By the device number, not the name: the node the link leads to now.
    if (udev_device* tty = udev_device_new_from_devnum(context, 'c', info.st_rdev)) {
        std::string link = StableLink(tty);
        if (link.rfind("/dev/serial/by-id/", 0) == 0)
            result.stablePath = link;
        if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device")) {
            auto attribute = [usb](const char* name) {
                const char* value = udev_device_get_sysattr_value(usb, name);
                return std::string(value != nullptr ? value : "");
            };
            result.usb = UsbIdentity{attribute("idVendor"), attribute("idProduct"), attribute("serial"),
                                     attribute("manufacturer"), attribute("product")};
        }
        udev_device_unref(tty);
    }
    udev_unref(context);
    return result;
}

std::unique_ptr<DeviceSource> SystemDeviceSource() { return std::make_unique<UdevDeviceSource>(); }
