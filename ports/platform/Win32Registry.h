#pragma once
// The registry access over the Win32 registry calls and SetupAPI.

#include "ports/platform/Registry.h"

#include <windows.h>

class Win32Registry : public RegistryAccess {
public:
    // The system's own roots.
    Win32Registry() = default;
    // The roots as subkeys of base: "DYN" for HKEY_DYN_DATA and "HKLM" for
    // HKEY_LOCAL_MACHINE, so that a tree written anywhere (a test's, below
    // HKEY_CURRENT_USER) is read with the real calls. base stays the
    // caller's. Friendly names still come from the system's devices.
    explicit Win32Registry(HKEY base) : m_base(base) {}

    bool OpenKey(RegKey root, const std::string& path, KeyPurpose purpose, RegKey& key) override;
    bool EnumKey(RegKey key, std::uint32_t index, std::string& name) override;
    bool QueryValue(RegKey key, const std::string& valueName, std::vector<unsigned char>& data) override;
    bool EnumValue(RegKey key, std::uint32_t index, std::string& name, std::vector<unsigned char>& data) override;
    void CloseKey(RegKey key) override;
    bool FriendlyName(const std::string& portName, std::string& text) override;

private:
    HKEY m_base = nullptr;
};
