#include "tests/support/HexImage.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>
#include <stdexcept>

std::string HexRecordLine(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    std::string line = ":";
    char hex[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

std::string MakeImage(const ImageSpec& spec)
{
    const char* eol = spec.lfOnly ? "\n" : "\r\n";
    std::mt19937 random(spec.seed);
    std::vector<std::uint8_t> info(32);
    for (std::size_t i = 0; i < 28; ++i)
        info[i] = static_cast<std::uint8_t>(random());
    info[28] = static_cast<std::uint8_t>(spec.checksum & 0xFF);
    info[29] = static_cast<std::uint8_t>(spec.checksum >> 8);
    info[30] = static_cast<std::uint8_t>(spec.type);
    info[31] = static_cast<std::uint8_t>(spec.sector == 64 ? 0x40 : spec.sector == 16 ? 0x10 : 0x00);
    std::string text = HexRecordLine(0, 0, info) + eol;

    std::uint32_t upper = 0;
    std::uint32_t address = spec.base;
    std::size_t left = spec.dataBytes;
    while (left > 0) {
        if ((address >> 16) != upper) {
            upper = address >> 16;
            text +=
                HexRecordLine(4, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)}) + eol;
        }
        std::size_t count = std::min({left, spec.recordBytes, static_cast<std::size_t>(0x10000 - (address & 0xFFFF))});
        std::vector<std::uint8_t> data(count);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(random());
        text += HexRecordLine(0, static_cast<std::uint16_t>(address & 0xFFFF), data) + eol;
        address += static_cast<std::uint32_t>(count);
        left -= count;
    }
    return text + ":00000001FF" + eol;
}

std::string MakeLoader(std::size_t dataBytes, std::size_t recordBytes)
{
    ImageSpec spec;
    spec.dataBytes = dataBytes;
    spec.recordBytes = recordBytes;
    spec.seed = 99;
    spec.base = 0x100;
    std::string image = MakeImage(spec);
    return image.substr(image.find('\n') + 1);  // no identification record
}

std::map<std::uint32_t, std::uint8_t> HexMemory(const std::string& text)
{
    std::map<std::uint32_t, std::uint8_t> memory;
    std::istringstream in(text);
    std::string line;
    std::uint32_t base = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (line[0] != ':')
            throw std::runtime_error("not a record: " + line);
        auto byte = [&line](std::size_t i) {
            return static_cast<std::uint8_t>(std::stoul(line.substr(1 + 2 * i, 2), nullptr, 16));
        };
        std::size_t count = byte(0);
        std::uint32_t address = static_cast<std::uint32_t>(byte(1) << 8 | byte(2));
        std::uint8_t type = byte(3);
        if (type == 0)
            for (std::size_t i = 0; i < count; ++i)
                memory[base + address + static_cast<std::uint32_t>(i)] = byte(4 + i);
        else if (type == 2)
            base = static_cast<std::uint32_t>(byte(4) << 8 | byte(5)) << 4;
        else if (type == 4)
            base = static_cast<std::uint32_t>(byte(4) << 8 | byte(5)) << 16;
    }
    return memory;
}
