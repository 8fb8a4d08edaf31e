#include "sim/FlashMemory.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void AppendHexByte(std::string& text, std::uint8_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    text += digits[value >> 4];
    text += digits[value & 0x0F];
}

HexRecord AddressRecord(HexRecordType type, std::uint16_t value)
{
    HexRecord record;
    record.type = static_cast<std::uint8_t>(type);
    record.data = {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)};
    return record;
}

}  // namespace

HexParseResult ParseHexRecord(std::string_view body, HexRecord& record)
{
    if (body.size() % 2 != 0)
        return HexParseResult::NotHex;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(body.size() / 2);
    for (std::size_t i = 0; i < body.size(); i += 2) {
        int high = HexDigitValue(body[i]);
        int low = HexDigitValue(body[i + 1]);
        if (high < 0 || low < 0)
            return HexParseResult::NotHex;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    // Count, two address bytes, type and checksum at the least.
    if (bytes.size() < 5 || bytes[0] != bytes.size() - 5)
        return HexParseResult::BadLength;
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes)
        sum = static_cast<std::uint8_t>(sum + b);
    if (sum != 0)
        return HexParseResult::BadChecksum;

    std::uint8_t type = bytes[3];
    std::size_t count = bytes[0];
    switch (static_cast<HexRecordType>(type)) {
    case HexRecordType::Data:
    case HexRecordType::EndOfFile:
        break;
    case HexRecordType::ExtendedSegmentAddress:
    case HexRecordType::ExtendedLinearAddress:
        if (count != 2)
            return HexParseResult::BadType;
        break;
    case HexRecordType::StartSegmentAddress:
    case HexRecordType::StartLinearAddress:
        if (count != 4)
            return HexParseResult::BadType;
        break;
    default:
        return HexParseResult::BadType;
    }
    record.type = type;
    record.address = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    record.data.assign(bytes.begin() + 4, bytes.end() - 1);
    return HexParseResult::Ok;
}

std::string FormatHexRecord(const HexRecord& record)
{
    std::string text = ":";
    auto count = static_cast<std::uint8_t>(record.data.size());
    auto high = static_cast<std::uint8_t>(record.address >> 8);
    auto low = static_cast<std::uint8_t>(record.address & 0xFF);
    std::uint8_t sum = static_cast<std::uint8_t>(count + high + low + record.type);
    AppendHexByte(text, count);
    AppendHexByte(text, high);
    AppendHexByte(text, low);
    AppendHexByte(text, record.type);
    for (std::uint8_t b : record.data) {
        AppendHexByte(text, b);
        sum = static_cast<std::uint8_t>(sum + b);
    }
    AppendHexByte(text, static_cast<std::uint8_t>(-sum));
    return text;
}

void FlashMemory::Program(std::uint32_t address, std::uint8_t value)
{
    auto [cell, inserted] = m_cells.try_emplace(address, value);
    if (!inserted)
        cell->second &= value;
}

std::optional<std::uint8_t> FlashMemory::Read(std::uint32_t address) const
{
    auto cell = m_cells.find(address);
    if (cell == m_cells.end())
        return std::nullopt;
    return cell->second;
}

std::string FlashMemory::ToIntelHex() const
{
    std::string text;
    std::uint16_t upper = 0;  // a reader starts at base 0
    HexRecord pending;
    std::uint32_t pendingStart = 0;

    auto flush = [&] {
        if (pending.data.empty())
            return;
        auto recordUpper = static_cast<std::uint16_t>(pendingStart >> 16);
        if (recordUpper != upper) {
            text += FormatHexRecord(AddressRecord(HexRecordType::ExtendedLinearAddress, recordUpper));
            text += "\r\n";
            upper = recordUpper;
        }
        pending.type = static_cast<std::uint8_t>(HexRecordType::Data);
        pending.address = static_cast<std::uint16_t>(pendingStart & 0xFFFF);
        text += FormatHexRecord(pending);
        text += "\r\n";
        pending.data.clear();
    };

    for (const auto& [address, value] : m_cells) {
        bool continues = !pending.data.empty() && address == pendingStart + pending.data.size();
        // A new record at every gap and every 16-byte line; 64 KiB boundaries
        // are line boundaries too, so no record straddles an address base.
        if (!continues || address % 16 == 0) {
            flush();
            pendingStart = address;
        }
        pending.data.push_back(value);
    }
    flush();
    HexRecord end;
    end.type = static_cast<std::uint8_t>(HexRecordType::EndOfFile);
    text += FormatHexRecord(end);
    text += "\r\n";
    return text;
}

bool HexProgrammer::Apply(const HexRecord& record)
{
    switch (static_cast<HexRecordType>(record.type)) {
    case HexRecordType::Data:
        for (std::size_t i = 0; i < record.data.size(); ++i)
            m_flash.Program(static_cast<std::uint32_t>(m_base + record.address + i), record.data[i]);
        return false;
    case HexRecordType::EndOfFile:
        return true;
    case HexRecordType::ExtendedSegmentAddress:
        m_base = static_cast<std::uint32_t>(record.data.at(0) << 8 | record.data.at(1)) * 16;
        return false;
    case HexRecordType::ExtendedLinearAddress:
        m_base = static_cast<std::uint32_t>(record.data.at(0) << 8 | record.data.at(1)) << 16;
        return false;
    default:
        return false;  // start addresses mean nothing to flash content
    }
}

bool LoadIntelHex(std::string_view text, FlashMemory& flash, std::string& error)
{
    HexProgrammer programmer(flash);
    int lineNumber = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty())
            continue;
        HexRecord record;
        if (line.front() != ':' || ParseHexRecord(line.substr(1), record) != HexParseResult::Ok) {
            error = "line " + std::to_string(lineNumber) + " is no valid Intel HEX record";
            return false;
        }
        if (programmer.Apply(record))
            return true;
    }
    return true;
}

bool WriteIntelHexFile(const FlashMemory& flash, const std::string& path, std::string& error)
{
    std::string content = flash.ToIntelHex();
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create a temporary file next to " + path + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "cannot write " + temp + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file private; a flash image is no secret.
    (void)::fchmod(fd, 0644);
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace sim
