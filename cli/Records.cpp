#include "cli/Records.h"

#include "base/Paths.h"
#include "base/Version.h"

#include <cstdio>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

nlohmann::json RecordHeader(const std::string& station)
{
    return {{"schema", kRecordSchema},
            {"tool", {{"name", "flashloader-cli"}, {"version", ProgramVersion()}}},
            {"host", HostName()},
            {"station", NullWhenEmpty(station)}};
}

std::string HostName()
{
    char name[256] = {};
#ifdef _WIN32
    DWORD size = sizeof name;
    if (!::GetComputerNameA(name, &size))
        return {};
#else
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
#endif
    return name;
}

std::string AbsolutePath(const std::string& path)
{
#ifdef _WIN32
    // A drive's path, a share's, or one from the current drive's root.
    const bool absolute = (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
                          (!path.empty() && (path[0] == '\\' || path[0] == '/'));
#else
    const bool absolute = !path.empty() && path[0] == '/';
#endif
    std::string directory;
    if (absolute || !CurrentDirectory(directory))
        return path;
    return JoinPath(directory, path);
}

nlohmann::json NullWhenEmpty(const std::string& text) { return text.empty() ? nlohmann::json() : nlohmann::json(text); }

nlohmann::json DeviceRecord(const PortDevice& device)
{
    nlohmann::json usb = nullptr;
    if (device.usb)
        usb = {{"vendorId", device.usb->vendorId},
               {"productId", device.usb->productId},
               {"serial", NullWhenEmpty(device.usb->serial)},
               {"manufacturer", NullWhenEmpty(device.usb->manufacturer)},
               {"product", NullWhenEmpty(device.usb->product)}};
    return {{"path", NullWhenEmpty(device.path)}, {"stablePath", NullWhenEmpty(device.stablePath)}, {"usb", usb}};
}

nlohmann::json IdentificationRecord(const ModemInfo& info)
{
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%04X", info.checksum);
    return {{"type", info.typeCode},
            {"typeName", NullWhenEmpty(info.typeName)},
            {"sectorSizeKiB", info.sectorSize},
            {"checksum", checksum}};
}

std::string JsonText(const nlohmann::json& value, int indent)
{
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}
