#include "flash/ModemLink.h"

#include "app/LoaderApp.h"
#include "app/UserInterface.h"
#include "resources/StringTable.h"

#include <cstdio>

namespace {

// The identification area: the first record of the image, 75 characters.
constexpr std::size_t kInfoAreaSize = 75;
constexpr std::size_t kChecksumLow = 65;   // two hex digits
constexpr std::size_t kChecksumHigh = 67;  // two hex digits
constexpr std::size_t kTypeDigits = 69;    // the type letter's code in hex
constexpr std::size_t kSectorDigits = 71;  // 40 or 10

// A refusal's code should follow its "NOK" line at once; this is how long
// the wait for it may go on before the refusal counts as one without a code.
constexpr std::uint64_t kRefusalCodeWaitMs = 2000;

// How often a refused line is sent again, and how often the loader is
// restarted for one line, before the download is given up.
constexpr int kMaxResends = 4;
constexpr int kMaxRestarts = 4;

// A refusal may come as two lines in either order; once it has been judged,
// the rest of it is let through and thrown away before anything is sent.
constexpr unsigned kSettleQuietMs = 50;
constexpr unsigned kSettleLimitMs = 500;

// The character at pos, or a zero byte past the end of the text.
char At(std::string_view text, std::size_t pos)
{
    return pos < text.size() ? text[pos] : '\0';
}

int Code(char c)
{
    return static_cast<unsigned char>(c);
}

// Finds the sector-size marker in text: ",40," first, anywhere, then ",10,".
bool FindSectorMarker(std::string_view text, std::int32_t& sectorSize, std::size_t& at)
{
    if ((at = text.find(",40,")) != std::string_view::npos) {
        sectorSize = 64;
        return true;
    }
    if ((at = text.find(",10,")) != std::string_view::npos) {
        sectorSize = 16;
        return true;
    }
    sectorSize = 0;
    return false;
}

// The four characters at pos, with zero bytes for those outside the text.
std::string FourAt(std::string_view text, std::ptrdiff_t pos)
{
    std::string four;
    for (std::ptrdiff_t i = pos; i < pos + 4; ++i)
        four += (i >= 0) ? At(text, static_cast<std::size_t>(i)) : '\0';
    return four;
}

} // namespace

bool ModemLink::ReadFileInfo(const std::string& path, ModemInfo& record)
{
    record = ModemInfo{};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    char area[80] = {};
    std::size_t got = std::fread(area, 1, kInfoAreaSize, file);
    std::fclose(file);
    return ParseFileInfo(std::string_view(area, got), record);
}

bool ModemLink::ParseFileInfo(std::string_view area, ModemInfo& record)
{
    record = ModemInfo{};
    if (area.size() < kInfoAreaSize)
        return false;
    if (area[kTypeDigits] == 'F')  // an erased area: the file names no modem
        return true;

    // The two digits are read on their character codes, as the first loaders
    // did, so "3C" gives 10*3 + 19 = 49 and with it the type ISA.
    int number = 10 * (Code(area[kTypeDigits]) - '0') + (Code(area[kTypeDigits + 1]) - '0');
    DecodeModemType('0', number, record);
    record.sectorSize = 16 * (Code(area[kSectorDigits]) - '0') + (Code(area[kSectorDigits + 1]) - '0');
    if (record.sectorSize != 0) {
        char digits[4] = {area[kChecksumHigh], area[kChecksumHigh + 1], area[kChecksumLow], area[kChecksumLow + 1]};
        record.checksum = ParseHex4(std::string_view(digits, 4));
    }
    return true;
}

LoadPlan ModemLink::IdentifyModem(PortHandle port, ModemInfo& record)
{
    record = ModemInfo{};
    ReplyBuffer reply;
    SendCommand(port, "AAAAT\r", reply, "OK\r\n", kReplyLimit, 2);
    if (SendCommand(port, "AT\r", reply, "OK\r\n", kReplyLimit, 2) != kReplyOk)
        return NoModem;
    if (SendCommand(port, "AT&&F\r", reply, "OK\r\n", kReplyLimit, 1) != kReplyOk)
        return NoModem;
    SendCommand(port, "ATE1\r", reply, "OK\r\n", kReplyLimit, 1);
    if (SendCommand(port, "ATI5\r", reply, "OK\r\n", kReplyLimit, 3) != kReplyOk)
        return NoModem;

    switch (ParseTypeAnswer(reply.Text(), record)) {
    case TypeAnswer::NoEcho:
        return NoModem;
    case TypeAnswer::ResidentLoader:
        return LoadNormal;
    case TypeAnswer::AskLoader:
        break;
    }
    if (SendCommand(port, "AT&&FFL\r", reply, "OK\r\n", kReplyLimit, 1) != kReplyOk)
        return LoadComplete;
    ParseLoaderAnswer(reply.Text(), record);
    return LoadNormal;
}

ModemLink::TypeAnswer ModemLink::ParseTypeAnswer(std::string_view text, ModemInfo& record)
{
    std::size_t echo = text.find("ATI5");
    if (echo == std::string_view::npos)
        return TypeAnswer::NoEcho;
    // "ATI5", CR, then CR LF: the answer line starts with the type letter.
    DecodeModemType(At(text, echo + 7), 0, record);

    std::size_t marker = 0;
    if (text.find("RRFL") != std::string_view::npos) {
        // The checksum follows the sector size.
        if (FindSectorMarker(text, record.sectorSize, marker))
            record.checksum = ParseHex4(FourAt(text, static_cast<std::ptrdiff_t>(marker) + 4));
        return TypeAnswer::ResidentLoader;
    }
    record.sectorSize = 0;
    record.checksum = 0;
    return TypeAnswer::AskLoader;
}

void ModemLink::ParseLoaderAnswer(std::string_view text, ModemInfo& record)
{
    // Here the checksum comes before the sector size.
    std::size_t marker = 0;
    if (FindSectorMarker(text, record.sectorSize, marker))
        record.checksum = ParseHex4(FourAt(text, static_cast<std::ptrdiff_t>(marker) - 4));
}

std::uint16_t ModemLink::CompareInfo(const ModemInfo& file, const ModemInfo& modem)
{
    std::uint16_t flags = 0;
    if (file.sectorSize != 0 && modem.sectorSize != 0) {
        if (file.sectorSize != modem.sectorSize)
            flags |= MismatchSectorSize;
        if (file.checksum != modem.checksum)
            flags |= MismatchChecksum;
    }
    if (file.typeCode != modem.typeCode)
        flags |= MismatchType;
    return flags;
}

void ModemLink::DecodeModemType(char letter, int number, ModemInfo& record)
{
    static const struct {
        char letter;
        int number;
        std::int32_t code;
        const char* name;
    } kTypes[] = {
        {'C', 43, 1, "Central Site"}, {'I', 49, 2, "ISA"}, {'S', 53, 3, "Serial"},
        {'U', 55, 5, "USB"},          {'P', 50, 4, "PC Card"},
    };
    char upper = (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
    for (const auto& type : kTypes) {
        if (upper == type.letter || number == type.number) {
            record.typeCode = type.code;
            record.typeName = type.name;
            return;
        }
    }
    record.typeCode = 0;
    record.typeName = "an unknown";
}

std::uint16_t ModemLink::ParseHex4(std::string_view text)
{
    unsigned value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        int c = Code(At(text, i));
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            digit = c;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

AckScan ModemLink::ScanAck(std::string_view bytes)
{
    AckScan scan;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        std::string_view line = bytes.substr(begin, i - begin);
        begin = i + 1;
        bool codeLine = line.size() >= 4 && line.substr(0, 3) == "NOK" && line[3] >= '1' && line[3] <= '4';
        if (codeLine) {
            // A code settles the refusal, whether it came before or after
            // the bare "NOK" line.
            if (scan.state == AckScan::Open || scan.state == AckScan::RefusedAwaitingCode) {
                scan.state = AckScan::Refused;
                scan.code = line[3] - '0';
            }
        } else if (line == "NOK") {
            if (scan.state == AckScan::Open)
                scan.state = AckScan::RefusedAwaitingCode;
        } else if (line == "OK") {
            // "OK" accepts only when nothing has refused the line before it.
            if (scan.state == AckScan::Open)
                scan.state = AckScan::Accepted;
        }
        if (scan.state == AckScan::Accepted || scan.state == AckScan::Refused)
            break;
    }
    return scan;
}

LineAck ModemLink::WaitForAck(PortHandle port, ReplyBuffer& reply, unsigned seconds)
{
    reply.Clear();
    const std::uint32_t start = serial_platform::TickCount();
    std::uint64_t limitMs = static_cast<std::uint64_t>(seconds) * 1000u;
    bool awaitingCode = false;
    AckScan scan;
    int result = CollectReply(port, reply, kReplyLimit, start, limitMs, [&](const ReplyBuffer& collected) {
        scan = ScanAck(collected.Bytes());
        if (scan.state == AckScan::RefusedAwaitingCode && !awaitingCode) {
            awaitingCode = true;
            std::uint64_t elapsed = static_cast<std::uint32_t>(serial_platform::TickCount() - start);
            if (elapsed + kRefusalCodeWaitMs < limitMs)
                limitMs = elapsed + kRefusalCodeWaitMs;
        }
        return scan.state == AckScan::Accepted || scan.state == AckScan::Refused;
    });

    LineAck ack;
    if (result == kReplyTooLong) {
        ack.kind = LineAck::TooLong;
    } else if (result == kReplyOk) {
        ack.kind = scan.state == AckScan::Accepted ? LineAck::Accepted : LineAck::Refused;
        ack.code = scan.code;
    } else if (scan.state == AckScan::RefusedAwaitingCode) {
        ack.kind = LineAck::Refused;
        ack.code = 0;
    } else {
        ack.kind = LineAck::TimedOut;
    }
    return ack;
}

bool ModemLink::HandleNok(PortHandle port, LineAck ack, std::string_view sentLine, std::string_view addressRecord,
                          MessageUi& ui)
{
    ReplyBuffer reply;
    int resends = 0;
    int restarts = 0;
    while (ack.kind != LineAck::Accepted) {
        DrainUntilQuiet(port, kSettleQuietMs, kSettleLimitMs);
        if (ack.kind == LineAck::Refused && (ack.code == 1 || ack.code == 4)) {
            // Erasing or programming failed: only a restart of the loader
            // can help, and the person decides whether to try it.
            if (restarts == kMaxRestarts)
                return false;
            ++restarts;
            const char* question = LoadResString(ack.code == 1 ? IDS_NOK1_RETRY : IDS_NOK4_RETRY);
            if (ui.ShowMessage(kApplicationName, question, MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
                return false;
            DrainUntilQuiet(port, kSettleQuietMs, kSettleLimitMs);
            if (!TransmitCommChar(port, 'Z'))
                return false;
            LineAck restarted = WaitForAck(port, reply, 180);
            if (restarted.kind != LineAck::Accepted || !reply.Contains("Ver:"))
                return false;
            if (!addressRecord.empty() && addressRecord != sentLine) {
                DrainUntilQuiet(port, kSettleQuietMs, kSettleLimitMs);
                if (WriteBytes(port, addressRecord.data(), addressRecord.size()) != kReplyOk ||
                    WaitForAck(port, reply, 2).kind != LineAck::Accepted)
                    return false;
            }
        } else {
            // Garbled on the way, or not acknowledged: send it again.
            if (resends == kMaxResends)
                return false;
            ++resends;
        }
        DrainInput(port);
        if (WriteBytes(port, sentLine.data(), sentLine.size()) != kReplyOk)
            return false;
        ack = WaitForAck(port, reply, 2);
    }
    return true;
}
