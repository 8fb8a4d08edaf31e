#pragma once
// What the command line's JSON answers and the bench's records share: the
// same fields under the same names, so that a script reads a scan, a probe
// and a report alike.

#include "flash/ModemInfo.h"
#include "ports/PortDevice.h"

#include <nlohmann/json.hpp>

#include <string>

// The version of the records' layout: raised when a field changes meaning
// or goes, not when one is added.
inline constexpr int kRecordSchema = 1;

// schema, tool (name, version), host and station (null when none given):
// what every record begins with.
nlohmann::json RecordHeader(const std::string& station = {});

// The machine's name; empty when the system does not give it.
std::string HostName();

// The path as a script on another machine can find it again: relative ones
// joined to the current directory.
std::string AbsolutePath(const std::string& path);

nlohmann::json NullWhenEmpty(const std::string& text);

// path, stablePath and usb (vendorId, productId, serial, manufacturer,
// product; null without USB).
nlohmann::json DeviceRecord(const PortDevice& device);

// What an image or a modem says about itself: type (the code), typeName,
// sectorSizeKiB and checksum (four hex digits).
nlohmann::json IdentificationRecord(const ModemInfo& info);

// The text of a record: texts from the modem or the system may hold any
// byte, which are replaced, not refused. indent -1: one line.
std::string JsonText(const nlohmann::json& value, int indent);
