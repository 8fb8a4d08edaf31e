// The registry access of Windows: RegOpenKeyExA and its kin in the system's
// 8-bit code page, and SetupAPI's Ports device class for friendly names.

#include "ports/platform/Win32Registry.h"

#include "ports/PortDevice.h"
#include "serial/PortNames.h"

#include <initguid.h>  // defines GUID_DEVCLASS_PORTS here instead of needing a library for it

#include <devguid.h>
#include <setupapi.h>

namespace {

HKEY Handle(RegKey key) { return reinterpret_cast<HKEY>(key); }

// Subkey names are read into an area of this size; registry key names are
// at most 255 characters, so every name fits.
constexpr DWORD kKeyNameArea = 260;
// The longest value name the registry allows, and its zero.
constexpr DWORD kValueNameArea = 16384;
// A first guess at a value's size; a larger value is read again in full.
constexpr DWORD kFirstDataArea = 256;

}  // namespace

bool Win32Registry::OpenKey(RegKey root, const std::string& path, KeyPurpose purpose, RegKey& key)
{
    HKEY parent = Handle(root);
    std::string subkey = path;
    if (root == kHkeyDynData || root == kHkeyLocalMachine) {
        if (m_base != nullptr) {
            parent = m_base;
            subkey = (root == kHkeyDynData ? "DYN" : "HKLM") + (path.empty() ? "" : "\\" + path);
        } else {
            // Not a cast: a root's HKEY is its number sign-extended.
            parent = root == kHkeyDynData ? HKEY_DYN_DATA : HKEY_LOCAL_MACHINE;
        }
    }
    REGSAM access = purpose == KeyPurpose::Enumerate ? KEY_ENUMERATE_SUB_KEYS : KEY_QUERY_VALUE;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(parent, subkey.c_str(), 0, access, &opened) != ERROR_SUCCESS)
        return false;
    key = reinterpret_cast<RegKey>(opened);
    return true;
}

bool Win32Registry::EnumKey(RegKey key, std::uint32_t index, std::string& name)
{
    char buffer[kKeyNameArea];
    if (RegEnumKeyA(Handle(key), index, buffer, sizeof buffer) != ERROR_SUCCESS)
        return false;
    name = buffer;
    return true;
}

bool Win32Registry::QueryValue(RegKey key, const std::string& valueName, std::vector<unsigned char>& data)
{
    data.resize(kFirstDataArea);
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        LONG result = RegQueryValueExA(Handle(key), valueName.c_str(), nullptr, nullptr, data.data(), &size);
        if (result == ERROR_SUCCESS) {
            data.resize(size);
            return true;
        }
        // Grown meanwhile or larger than the guess: size says how large now.
        if (result != ERROR_MORE_DATA || size <= data.size())
            return false;
        data.resize(size);
    }
}

bool Win32Registry::EnumValue(RegKey key, std::uint32_t index, std::string& name, std::vector<unsigned char>& data)
{
    std::vector<char> nameBuffer(kValueNameArea);
    data.resize(kFirstDataArea);
    for (;;) {
        DWORD nameSize = kValueNameArea;
        DWORD size = static_cast<DWORD>(data.size());
        LONG result =
            RegEnumValueA(Handle(key), index, nameBuffer.data(), &nameSize, nullptr, nullptr, data.data(), &size);
        if (result == ERROR_SUCCESS) {
            name.assign(nameBuffer.data(), nameSize);
            data.resize(size);
            return true;
        }
        if (result != ERROR_MORE_DATA || size <= data.size())
            return false;
        data.resize(size);
    }
}

void Win32Registry::CloseKey(RegKey key) { RegCloseKey(Handle(key)); }

namespace {

// Calls use(devices, device) for the present port device named portName
// (COM1, COM12, ...); false when there is none.
template <class Use>
bool WithPortDevice(const std::string& portName, Use use)
{
    HDEVINFO devices = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return false;
    bool found = false;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        // The port's name is kept in the device's own registry key.
        HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        char name[256] = {};
        DWORD size = sizeof name - 1;  // room for a zero the value may lack
        LONG result = RegQueryValueExA(key, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS || lstrcmpiA(name, portName.c_str()) != 0)
            continue;
        found = use(devices, device);
        break;
    }
    SetupDiDestroyDeviceInfoList(devices);
    return found;
}

std::string DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property)
{
    char text[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, property, nullptr, reinterpret_cast<BYTE*>(text),
                                           sizeof text - 1, nullptr))
        return {};
    return text;
}

// The four hex digits after "VID_" (or "PID_") in a USB instance id.
std::string IdAfter(const std::string& instance, const char* tag)
{
    std::size_t at = instance.find(tag);
    return at == std::string::npos ? std::string() : instance.substr(at + 4, 4);
}

}  // namespace

bool Win32Registry::FriendlyName(const std::string& portName, std::string& text)
{
    return WithPortDevice(portName, [&](HDEVINFO devices, SP_DEVINFO_DATA& device) {
        std::string friendly = DeviceProperty(devices, device, SPDRP_FRIENDLYNAME);
        if (friendly.empty())
            return false;
        text = friendly;
        return true;
    });
}

PortDevice DescribePortDevice(const std::string& portName)
{
    PortDevice result;
    result.path = ResolvePortDevice(portName);
    if (result.path.empty())
        return result;
    WithPortDevice(portName, [&](HDEVINFO devices, SP_DEVINFO_DATA& device) {
        char instance[512] = {};
        if (!SetupDiGetDeviceInstanceIdA(devices, &device, instance, sizeof instance - 1, nullptr))
            return false;
        // USB\VID_xxxx&PID_yyyy\SERIAL: the serial number is the last part
        // where the device has one (the system makes up one with '&' in it
        // where it has none).
        const std::string id = instance;
        if (id.rfind("USB\\", 0) != 0 && id.rfind("FTDIBUS\\", 0) != 0)
            return true;
        UsbIdentity usb;
        usb.vendorId = IdAfter(id, "VID_");
        usb.productId = IdAfter(id, "PID_");
        if (std::size_t last = id.rfind('\\'); last != std::string::npos && id.find('&', last) == std::string::npos)
            usb.serial = id.substr(last + 1);
        usb.manufacturer = DeviceProperty(devices, device, SPDRP_MFG);
        usb.product = DeviceProperty(devices, device, SPDRP_DEVICEDESC);
        for (std::string* hex : {&usb.vendorId, &usb.productId})
            for (char& c : *hex)
                if (c >= 'A' && c <= 'F')
                    c = static_cast<char>(c - 'A' + 'a');
        result.usb = usb;
        return true;
    });
    return result;
}

RegistryAccess& SystemRegistry()
{
    static Win32Registry registry;
    return registry;
}
