#include "flash/ModemLink.h"

#include "base/UserInterface.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace mp = modem_protocol;

namespace {

// The identification area: the first record of the image, 75 characters.
constexpr std::size_t kInfoAreaSize = 75;
constexpr std::size_t kChecksumLow = 65;   // two hex digits
constexpr std::size_t kChecksumHigh = 67;  // two hex digits
constexpr std::size_t kTypeDigits = 69;    // the type letter's code in hex
constexpr std::size_t kSectorDigits = 71;  // 40 or 10

// How often a refused line is sent again, and how often the loader is
// restarted for one line, before the download is given up.
constexpr int kMaxResends = 4;
constexpr int kMaxRestarts = 4;

// A refusal may come in two parts, the bare "NOK" and its code, in either
// order, and the banner of a started loader on either side of its "OK".
// What belongs together comes back to back; once the line has been quiet
// this long, nothing more of it is on its way. The same quiet ends the
// drain of a refusal's rest before anything is sent.
constexpr unsigned kSettleQuietMs = 50;
constexpr unsigned kSettleLimitMs = 500;
// How often a long wait tells how long it has lasted.
constexpr unsigned kWaitReportMs = 250;

std::uint64_t Ms(std::chrono::milliseconds limit) { return static_cast<std::uint64_t>(limit.count()); }

// The character at pos, or a zero byte past the end of the text.
char At(std::string_view text, std::size_t pos) { return pos < text.size() ? text[pos] : '\0'; }

int Code(char c) { return static_cast<unsigned char>(c); }

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

}  // namespace

bool ModemLink::ReadFileInfo(const std::string& path, ModemInfo& record)
{
    return FileInfoOf(ReadRegularFile(path, kInfoAreaSize), record);
}

bool ModemLink::FileInfoOf(const FileContents& image, ModemInfo& record)
{
    record = ModemInfo{};
    if (image.result != FileContents::Ok && image.result != FileContents::TooLarge)
        return false;
    return ParseFileInfo(image.bytes, record);
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
    for (const mp::HandshakeStep& step : mp::kHandshake) {
        if (step.identifyLimit == nullptr)
            continue;
        ReplyStatus answered =
            SendCommand(port, step.command, reply, mp::kCommandOk, kReplyLimit, m_limits.*step.identifyLimit);
        if (step.mustAnswer && answered != ReplyStatus::Ok)
            return NoModem;
    }

    switch (ParseTypeAnswer(reply.Text(), record)) {
    case TypeAnswer::NoEcho:
        return NoModem;
    case TypeAnswer::ResidentLoader:
        return LoadNormal;
    case TypeAnswer::AskLoader:
        break;
    }
    if (SendCommand(port, mp::kLoaderQuery, reply, mp::kCommandOk, kReplyLimit, m_limits.command) != ReplyStatus::Ok)
        return LoadComplete;
    ParseLoaderAnswer(reply.Text(), record);
    return LoadNormal;
}

ModemLink::TypeAnswer ModemLink::ParseTypeAnswer(std::string_view text, ModemInfo& record)
{
    // The echo is the command without its carriage return.
    std::size_t echo = text.find(mp::kTypeQuery.substr(0, mp::kTypeQuery.size() - 1));
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
        {'C', 43, 1, "Central Site"}, {'I', 49, 2, "ISA"},     {'S', 53, 3, "Serial"},
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

namespace {

// A refusal's code, "1" to "4", stands at index at of bytes.
bool CodeDigitAt(std::string_view bytes, std::size_t at)
{
    return at < bytes.size() && bytes[at] >= mp::kFirstRefusalDigit && bytes[at] <= mp::kLastRefusalDigit;
}

}  // namespace

AckScan ModemLink::ScanAck(std::string_view bytes, std::string_view okText)
{
    AckScan scan;
    const std::size_t refusal = bytes.find(mp::kRefusal);
    if (refusal == std::string_view::npos) {
        // No refusal anywhere (so no okText here is the tail of one), but
        // an "OK1" to "OK4" at the very start is what is left of a "NOKn"
        // whose "N" came before: the rest of an earlier refusal.
        for (std::size_t ok = bytes.find(okText); ok != std::string_view::npos; ok = bytes.find(okText, ok + 1)) {
            const std::size_t after = ok + okText.size();
            const bool codeTail = ok == 0 && CodeDigitAt(bytes, after);
            if (!codeTail) {
                scan.state = AckScan::Accepted;
                return scan;
            }
        }
        return scan;
    }
    // A refusal anywhere in the answer refuses the line, whatever "OK"
    // stands before or after it: sending an accepted line again costs a
    // moment, taking a refused one leaves the flash wrong. The code may
    // come before or after the bare "NOK", or not at all.
    scan.state = AckScan::RefusedAwaitingCode;
    const std::size_t codeAt = mp::kRefusal.size();
    for (std::size_t at = refusal; at != std::string_view::npos; at = bytes.find(mp::kRefusal, at + 1)) {
        if (at + codeAt >= bytes.size())
            continue;
        if (CodeDigitAt(bytes, at + codeAt)) {
            if (scan.state != AckScan::Refused) {
                scan.state = AckScan::Refused;
                scan.code = bytes[at + codeAt] - '0';
            }
        } else {
            scan.bare = true;
        }
    }
    return scan;
}

bool ModemLink::EndsInsideRefusal(std::string_view bytes)
{
    constexpr std::string_view kRefusal = mp::kRefusalLine;
    for (std::size_t n = 1; n < kRefusal.size() && n <= bytes.size(); ++n)
        if (bytes.substr(bytes.size() - n) == kRefusal.substr(0, n))
            return true;
    return false;
}

ReplyStatus ModemLink::CollectReporting(PortHandle port, ReplyBuffer& reply, std::uint32_t start,
                                        std::uint64_t& limitMs, const std::function<bool(const ReplyBuffer&)>& done,
                                        const WaitProgress& waiting)
{
    // With someone to tell, the wait goes in slices, with a word after each;
    // done may move the limit, and the slice follows it.
    const std::uint64_t elapsed = static_cast<std::uint32_t>(serial_platform::TickCount() - start);
    std::uint64_t nextReportMs = waiting ? elapsed + kWaitReportMs : UINT64_MAX;
    std::uint64_t sliceEndMs = std::min(limitMs, nextReportMs);
    auto judged = [&](const ReplyBuffer& collected) {
        bool complete = done(collected);
        sliceEndMs = std::min(limitMs, nextReportMs);
        return complete;
    };
    for (;;) {
        ReplyStatus result = CollectReply(port, reply, kReplyLimit, start, sliceEndMs, judged);
        if (result != ReplyStatus::TimedOut || sliceEndMs >= limitMs)
            return result;
        waiting(static_cast<std::uint32_t>(serial_platform::TickCount() - start), static_cast<std::uint32_t>(limitMs));
        nextReportMs += kWaitReportMs;
        sliceEndMs = std::min(limitMs, nextReportMs);
    }
}

LineAck ModemLink::WaitForAck(PortHandle port, ReplyBuffer& reply, std::chrono::milliseconds limit,
                              std::string_view okText, const WaitProgress& waiting)
{
    reply.Clear();
    const std::uint32_t start = serial_platform::TickCount();
    const std::uint64_t fullLimitMs = Ms(limit);
    std::uint64_t limitMs = fullLimitMs;
    std::size_t seen = 0;
    std::optional<std::uint64_t> refusedAtMs;  // when the refusal's first bytes came
    AckScan scan;
    auto done = [&](const ReplyBuffer& collected) {
        scan = ScanAck(collected.Bytes(), okText);
        if (scan.state == AckScan::Accepted) {
            // What is queued behind the "OK" already is part of the same
            // answer, and a refusal there refuses the line.
            std::uint32_t queued = 0;
            return !serial_platform::QueuedInput(port, queued) || queued == 0;
        }
        if (scan.state == AckScan::Open)
            return false;
        // A refusal is decided once it is whole: its bare "NOK" and its
        // code. Nothing may be sent before, or the rest of it would pass
        // for the answer to what was sent next, and every answer after
        // would belong to the line before.
        if (scan.state == AckScan::Refused && scan.bare)
            return true;
        if (collected.Bytes().size() != seen) {
            std::uint64_t elapsed = static_cast<std::uint32_t>(serial_platform::TickCount() - start);
            if (!refusedAtMs)
                refusedAtMs = elapsed;
            seen = collected.Bytes().size();
            if (scan.state == AckScan::Refused || !scan.bare || EndsInsideRefusal(collected.Bytes())) {
                // The missing part is on its way, within the line's time.
                limitMs = std::min(fullLimitMs, *refusedAtMs + Ms(m_limits.line));
            } else {
                // A bare "NOK" and nothing after: every byte that comes puts
                // the decision off a little, as a code may be on its way.
                // When the line is quiet, none is.
                limitMs = std::min(fullLimitMs, elapsed + kSettleQuietMs);
            }
        }
        return false;
    };
    if (waiting)
        waiting(0, static_cast<std::uint32_t>(limitMs));
    ReplyStatus result = CollectReporting(port, reply, start, limitMs, done, waiting);

    LineAck ack;
    switch (result) {
    case ReplyStatus::TooLong:
        ack.kind = LineAck::TooLong;
        break;
    case ReplyStatus::Stopped:
        ack.kind = LineAck::Stopped;
        break;
    case ReplyStatus::PortGone:
        ack.kind = LineAck::PortGone;
        break;
    default:
        // Complete, or the time is up: what came decides.
        ack.kind = scan.state == AckScan::Accepted ? LineAck::Accepted
                   : scan.state == AckScan::Open   ? LineAck::TimedOut
                                                   : LineAck::Refused;
        ack.code = scan.code;
        break;
    }
    return ack;
}

namespace {

// "Ver:" with the three characters of its version behind it.
bool BannerWhole(const ReplyBuffer& reply)
{
    std::size_t at = reply.Text().find(mp::kBanner);
    return at != std::string_view::npos && reply.Text().size() >= at + mp::kBanner.size() + mp::kBannerVersionLength;
}

}  // namespace

void ModemLink::AwaitBanner(PortHandle port, ReplyBuffer& reply, std::uint32_t sentAt, std::chrono::milliseconds limit,
                            const WaitProgress& waiting)
{
    if (BannerWhole(reply))
        return;
    std::uint64_t limitMs = Ms(limit);
    CollectReporting(port, reply, sentAt, limitMs, BannerWhole, waiting);
}

LineAck ModemLink::StartFlash(PortHandle port, ReplyBuffer& reply)
{
    DrainInput(port);
    if (WriteBytes(port, mp::kStartFlash.data(), mp::kStartFlash.size()) != ReplyStatus::Ok) {
        LineAck failed;
        failed.kind = PortGone(port) ? LineAck::PortGone : StopRequested() ? LineAck::Stopped : LineAck::WriteFailed;
        return failed;
    }
    const std::uint32_t sentAt = serial_platform::TickCount();
    LineAck ack = WaitForAck(port, reply, m_limits.start, kImageAck);
    if (ack.kind == LineAck::Accepted)
        AwaitBanner(port, reply, sentAt, m_limits.start);
    return ack;
}

void ModemLink::DrainRefusal(PortHandle port, ReplyBuffer& answer, LineAck& ack)
{
    // Until the line has been quiet for a moment; an answer that stops
    // inside a refusal's text has more to come, and is waited for as long
    // as the line's own time allows.
    const std::uint64_t line = Ms(m_limits.line);
    auto limitFor = [line](const ReplyBuffer& collected, std::uint64_t elapsed) {
        return EndsInsideRefusal(collected.Bytes()) ? line
                                                    : std::min<std::uint64_t>(kSettleLimitMs, elapsed + kSettleQuietMs);
    };
    const std::uint32_t start = serial_platform::TickCount();
    std::uint64_t limitMs = limitFor(answer, 0);
    std::size_t seen = answer.Bytes().size();
    CollectReply(port, answer, UINT16_MAX, start, limitMs, [&](const ReplyBuffer& collected) {
        if (collected.Bytes().size() != seen) {
            seen = collected.Bytes().size();
            limitMs = limitFor(collected, static_cast<std::uint32_t>(serial_platform::TickCount() - start));
        }
        return false;
    });
    // A code that came only now still tells what the refusal was.
    if (ack.kind == LineAck::Refused && ack.code == mp::kNoCode) {
        AckScan late = ScanAck(answer.Bytes(), kImageAck);
        if (late.state == AckScan::Refused)
            ack.code = late.code;
    }
}

std::string AckWords(const LineAck& ack, AckExchange exchange, std::chrono::milliseconds limit)
{
    const std::string tooLong = "got an answer longer than " + mp::ReplyLimitText();
    switch (exchange) {
    case AckExchange::StartCommand: {
        const std::string command(mp::kStartFlash.substr(0, mp::kStartFlash.size() - 1));
        switch (ack.kind) {
        case LineAck::Refused:
            return "The modem refused " + command + " (" + mp::RefusalText(ack.code) + ").";
        case LineAck::TooLong:
            return "The modem's answer to " + command + " was longer than " + mp::ReplyLimitText() + ".";
        case LineAck::Stopped:
            return "Stopped at your request while the modem started its loader; its flash may already be erased: "
                   "restart the modem, then flash it again before using it.";
        case LineAck::PortGone:
            return "The port went away while the modem started its loader: is the modem still connected?";
        case LineAck::WriteFailed:
            return command + " could not be written to the port.";
        default:
            return "The modem did not answer " + command + " with OK within " + mp::LimitText(limit) + ".";
        }
    }
    case AckExchange::LoaderLine:
        switch (ack.kind) {
        case LineAck::Refused:
            return "was refused by the modem";
        case LineAck::TooLong:
            return tooLong;
        default:
            return "was not acknowledged, also when sent again";
        }
    case AckExchange::ImageLine:
        switch (ack.kind) {
        case LineAck::Refused:
            return "was refused by the modem (" + mp::RefusalText(ack.code) + ")";
        case LineAck::TooLong:
            return tooLong;
        default:
            return "was not acknowledged within " + mp::LimitText(limit);
        }
    case AckExchange::Settling:
        break;
    }
    switch (ack.kind) {
    case LineAck::TooLong:
        return tooLong;
    case LineAck::Stopped:
        return "was stopped at your request";
    case LineAck::PortGone:
        return "lost the port: is the modem still connected?";
    case LineAck::WriteFailed:
        return "could not be written to the port";
    default:
        return "got no answer within " + mp::LimitText(limit);
    }
}

bool ModemLink::HandleNok(PortHandle port, LineAck ack, const ReplyBuffer& answer, std::string_view sentLine,
                          std::string_view addressRecord, MessageUi& ui, std::string& why, LineCounts* counts,
                          const WaitProgress& restartWaiting)
{
    LineCounts local;
    LineCounts& counted = counts != nullptr ? *counts : local;
    ReplyBuffer reply = answer;
    int restarts = 0;  // one count for the line and its address record
    // After a restart, the address record is settled before the line; what
    // goes wrong then is said as the address record's.
    const bool restoresAddress = !addressRecord.empty() && addressRecord != sentLine;
    PendingLine line{sentLine, ack};
    std::optional<PendingLine> address;
    std::string addressWhy;
    auto fail = [&] {
        if (address)
            why = "the extended address record sent after the restart was not accepted: " + addressWhy;
        return false;
    };
    for (;;) {
        PendingLine& current = address ? *address : line;
        std::string& reason = address ? addressWhy : why;
        if (current.ack.kind == LineAck::Accepted) {
            if (!address)
                return true;
            address.reset();  // the address is in force again: now the line itself
            if (!SendAgain(port, line, reply, why))
                return false;
            continue;
        }
        const Remedy remedy = JudgeRefusal(port, current, reply, counted, reason);
        if (remedy == Remedy::GiveUp)
            return fail();
        if (remedy == Remedy::Restart) {
            if (!RestartLoader(port, current.ack.code, reply, ui, restarts, reason, counted, restartWaiting))
                return fail();
            if (!address && restoresAddress) {
                LineAck addressAck;
                if (!SendAddressRecord(port, addressRecord, reply, addressAck, why))
                    return false;
                address = PendingLine{addressRecord, addressAck};
                continue;
            }
        }
        if (!SendAgain(port, current, reply, reason))
            return fail();
    }
}

ModemLink::Remedy ModemLink::JudgeRefusal(PortHandle port, PendingLine& line, ReplyBuffer& reply, LineCounts& counts,
                                          std::string& why)
{
    if (line.ack.kind == LineAck::Stopped || line.ack.kind == LineAck::PortGone) {
        why = "the line sent again " + AckWords(line.ack, AckExchange::Settling, m_limits.line);
        return Remedy::GiveUp;
    }
    // Nothing goes out before the rest of this answer has come and gone:
    // read later, it would pass for the answer to what follows.
    DrainRefusal(port, reply, line.ack);
    if (line.ack.kind == LineAck::Refused) {
        ++counts.refusals;
        // Erasing or programming failed: only a restart of the loader can
        // help, and the person decides whether to try it.
        if (mp::NeedsRestart(line.ack.code))
            return Remedy::Restart;
    }
    // Garbled on the way, or not acknowledged: send it again.
    if (line.resends == kMaxResends) {
        why = "it was still not accepted after " + std::to_string(kMaxResends) + " resends";
        return Remedy::GiveUp;
    }
    ++line.resends;
    return Remedy::SendAgain;
}

bool ModemLink::RestartLoader(PortHandle port, int code, ReplyBuffer& reply, MessageUi& ui, int& restarts,
                              std::string& why, LineCounts& counts, const WaitProgress& restartWaiting)
{
    if (restarts == kMaxRestarts) {
        why = "it was still refused after " + std::to_string(kMaxRestarts) + " restarts of the loader";
        return false;
    }
    ++restarts;
    const char* question = LoadResString(code == mp::kEraseFailed ? IDS_NOK1_RETRY : IDS_NOK4_RETRY);
    if (ui.ShowMessage(kApplicationName, question, MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes) {
        why = StopRequested() ? "the retry was stopped at your request" : "the retry was declined";
        return false;
    }
    DrainUntilQuiet(port, kSettleQuietMs, kSettleLimitMs);
    ++counts.restarts;
    LineAck restarted;
    const std::uint32_t sentAt = serial_platform::TickCount();
    if (TransmitCommChar(port, mp::kRestartByte)) {
        restarted = WaitForAck(port, reply, m_limits.restart, kLineAck, restartWaiting);
        if (restarted.kind == LineAck::Accepted)
            AwaitBanner(port, reply, sentAt, m_limits.restart, restartWaiting);
    } else {
        restarted.kind = PortGone(port) ? LineAck::PortGone : StopRequested() ? LineAck::Stopped : LineAck::WriteFailed;
    }
    if (restarted.kind != LineAck::Accepted || !reply.Contains(mp::kBanner)) {
        why = restarted.kind == LineAck::Accepted || restarted.kind == LineAck::Refused
                  ? "the restarted loader did not answer with OK and its version"
                  : "the restart " + AckWords(restarted, AckExchange::Settling, m_limits.restart);
        return false;
    }
    return true;
}

bool ModemLink::SendAddressRecord(PortHandle port, std::string_view addressRecord, ReplyBuffer& reply, LineAck& ack,
                                  std::string& why)
{
    // A restarted loader starts from address zero: the address the line
    // belongs to goes before the line itself.
    DrainUntilQuiet(port, kSettleQuietMs, kSettleLimitMs);
    if (WriteBytes(port, addressRecord.data(), addressRecord.size()) != ReplyStatus::Ok) {
        why = "the extended address record could not be written after the restart";
        return false;
    }
    ack = WaitForAck(port, reply, m_limits.line);
    if (ack.kind == LineAck::TimedOut || ack.kind == LineAck::TooLong) {
        why =
            "the extended address record sent after the restart " + AckWords(ack, AckExchange::Settling, m_limits.line);
        return false;
    }
    return true;
}

bool ModemLink::SendAgain(PortHandle port, PendingLine& line, ReplyBuffer& reply, std::string& why)
{
    DrainInput(port);
    if (WriteBytes(port, line.text.data(), line.text.size()) != ReplyStatus::Ok) {
        why = "it could not be written again";
        return false;
    }
    line.ack = WaitForAck(port, reply, m_limits.line);
    return true;
}
