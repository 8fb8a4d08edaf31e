#pragma once
// The system registry as the port list reads it: the few Win32 registry
// calls it needs, under their own names, and the friendly name SetupAPI
// gives a port. The listing runs over this interface, so that it can run
// over a tree a test builds as well as over the real registry.

#include <cstdint>
#include <string>
#include <vector>

// An open key, or one of the predefined roots below.
using RegKey = std::uintptr_t;

// The predefined roots by their Win32 numbers. On 64-bit Windows the real
// HKEY of a root is this number sign-extended, so a back end maps them
// explicitly instead of casting.
inline constexpr RegKey kHkeyDynData = 0x80000006u;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002u;

// What a key is opened for: KEY_ENUMERATE_SUB_KEYS or KEY_QUERY_VALUE.
enum class KeyPurpose { Enumerate, Query };

class RegistryAccess {
public:
    virtual ~RegistryAccess() = default;

    // RegOpenKeyExA: opens path (backslash-separated, may be empty) below
    // root, which is a predefined root or a key opened here.
    virtual bool OpenKey(RegKey root, const std::string& path, KeyPurpose purpose, RegKey& key) = 0;
    // RegEnumKeyA: the name of subkey number index; false past the last.
    virtual bool EnumKey(RegKey key, std::uint32_t index, std::string& name) = 0;
    // RegQueryValueExA: the value's data, whole and whatever its type;
    // false when the value is not there.
    virtual bool QueryValue(RegKey key, const std::string& valueName, std::vector<unsigned char>& data) = 0;
    // RegEnumValueA: the name and data of value number index; false past
    // the last.
    virtual bool EnumValue(RegKey key, std::uint32_t index, std::string& name, std::vector<unsigned char>& data) = 0;
    // RegCloseKey.
    virtual void CloseKey(RegKey key) = 0;

    // The friendly name of the present port device whose "PortName" is
    // portName (letter case aside), as the Ports device class of SetupAPI
    // has it, "Communications Port (COM1)"; false when there is none.
    virtual bool FriendlyName(const std::string& portName, std::string& text) = 0;
};

// The registry of the running system.
RegistryAccess& SystemRegistry();
