#include "flash/ModemLink.h"

#include "base/UserInterface.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <cstdio>
#include <optional>

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

// The time limits of the line protocol: an image line once the flash is
// erased, the start command, and the restarted loader.
constexpr unsigned kLineSeconds = 2;
constexpr unsigned kStartSeconds = 2;
constexpr unsigned kRestartSeconds = 180;

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

namespace {

// A refusal's code, "1" to "4", stands at index at of bytes.
bool CodeDigitAt(std::string_view bytes, std::size_t at)
{
    return at < bytes.size() && bytes[at] >= '1' && bytes[at] <= '4';
}

} // namespace

AckScan ModemLink::ScanAck(std::string_view bytes, std::string_view okText)
{
    AckScan scan;
    const std::size_t refusal = bytes.find("NOK");
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
    for (std::size_t at = refusal; at != std::string_view::npos; at = bytes.find("NOK", at + 1)) {
        if (at + 3 >= bytes.size())
            continue;
        if (CodeDigitAt(bytes, at + 3)) {
            if (scan.state != AckScan::Refused) {
                scan.state = AckScan::Refused;
                scan.code = bytes[at + 3] - '0';
            }
        } else {
            scan.bare = true;
        }
    }
    return scan;
}

bool ModemLink::EndsInsideRefusal(std::string_view bytes)
{
    static constexpr std::string_view kRefusal = "NOK\r\n";
    for (std::size_t n = 1; n < kRefusal.size() && n <= bytes.size(); ++n)
        if (bytes.substr(bytes.size() - n) == kRefusal.substr(0, n))
            return true;
    return false;
}

int ModemLink::CollectReporting(PortHandle port, ReplyBuffer& reply, std::uint32_t start, std::uint64_t& limitMs,
                                const std::function<bool(const ReplyBuffer&)>& done, const WaitProgress& waiting)
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
        int result = CollectReply(port, reply, kReplyLimit, start, sliceEndMs, judged);
        if (result != kReplyTimedOut || sliceEndMs >= limitMs)
            return result;
        waiting(static_cast<std::uint32_t>(serial_platform::TickCount() - start), static_cast<std::uint32_t>(limitMs));
        nextReportMs += kWaitReportMs;
        sliceEndMs = std::min(limitMs, nextReportMs);
    }
}

LineAck ModemLink::WaitForAck(PortHandle port, ReplyBuffer& reply, unsigned seconds, std::string_view okText,
                              const WaitProgress& waiting)
{
    reply.Clear();
    const std::uint32_t start = serial_platform::TickCount();
    const std::uint64_t fullLimitMs = static_cast<std::uint64_t>(seconds) * 1000u;
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
                limitMs = std::min(fullLimitMs, *refusedAtMs + kLineSeconds * 1000u);
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
    int result = CollectReporting(port, reply, start, limitMs, done, waiting);

    LineAck ack;
    switch (result) {
    case kReplyTooLong:
        ack.kind = LineAck::TooLong;
        break;
    case kReplyStopped:
        ack.kind = LineAck::Stopped;
        break;
    case kReplyPortGone:
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
    std::size_t at = reply.Text().find("Ver:");
    return at != std::string_view::npos && reply.Text().size() >= at + 7;
}

} // namespace

void ModemLink::AwaitBanner(PortHandle port, ReplyBuffer& reply, std::uint32_t sentAt, unsigned seconds,
                            const WaitProgress& waiting)
{
    if (BannerWhole(reply))
        return;
    std::uint64_t limitMs = static_cast<std::uint64_t>(seconds) * 1000u;
    CollectReporting(port, reply, sentAt, limitMs, BannerWhole, waiting);
}

LineAck ModemLink::StartFlash(PortHandle port, ReplyBuffer& reply)
{
    DrainInput(port);
    static constexpr std::string_view kStart = "AT&&FGO\r";
    if (WriteBytes(port, kStart.data(), kStart.size()) != kReplyOk) {
        LineAck failed;
        failed.kind = PortGone(port) ? LineAck::PortGone : StopRequested() ? LineAck::Stopped : LineAck::WriteFailed;
        return failed;
    }
    const std::uint32_t sentAt = serial_platform::TickCount();
    LineAck ack = WaitForAck(port, reply, kStartSeconds, kImageAck);
    if (ack.kind == LineAck::Accepted)
        AwaitBanner(port, reply, sentAt, kStartSeconds);
    return ack;
}

bool ModemLink::HandleNok(PortHandle port, LineAck ack, const ReplyBuffer& answer, std::string_view sentLine,
                          std::string_view addressRecord, MessageUi& ui, std::string& why, LineCounts* counts,
                          const WaitProgress& restartWaiting)
{
    int restarts = 0;
    LineCounts local;
    return SettleLine(port, ack, answer, sentLine, addressRecord, ui, restarts, why,
                      counts != nullptr ? *counts : local, restartWaiting);
}

void ModemLink::DrainRefusal(PortHandle port, ReplyBuffer& answer, LineAck& ack)
{
    // Until the line has been quiet for a moment; an answer that stops
    // inside a refusal's text has more to come, and is waited for as long
    // as the line's own time allows.
    auto limitFor = [](const ReplyBuffer& collected, std::uint64_t elapsed) {
        return EndsInsideRefusal(collected.Bytes()) ? std::uint64_t{kLineSeconds} * 1000u
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
    if (ack.kind == LineAck::Refused && ack.code == 0) {
        AckScan late = ScanAck(answer.Bytes(), kImageAck);
        if (late.state == AckScan::Refused)
            ack.code = late.code;
    }
}

namespace {

std::string Unanswered(const LineAck& ack, unsigned seconds)
{
    switch (ack.kind) {
    case LineAck::TooLong:
        return "got an answer longer than 128 bytes";
    case LineAck::Stopped:
        return "was stopped at your request";
    case LineAck::PortGone:
        return "lost the port: is the modem still connected?";
    case LineAck::WriteFailed:
        return "could not be written to the port";
    default:
        return "got no answer within " + std::to_string(seconds) + " seconds";
    }
}

} // namespace

bool ModemLink::SettleLine(PortHandle port, LineAck ack, ReplyBuffer reply, std::string_view sentLine,
                           std::string_view addressRecord, MessageUi& ui, int& restarts, std::string& why,
                           LineCounts& counts, const WaitProgress& restartWaiting)
{
    int resends = 0;
    while (ack.kind != LineAck::Accepted) {
        if (ack.kind == LineAck::Stopped || ack.kind == LineAck::PortGone) {
            why = "the line sent again " + Unanswered(ack, kLineSeconds);
            return false;
        }
        // Nothing goes out before the rest of this answer has come and
        // gone: read later, it would pass for the answer to what follows.
        DrainRefusal(port, reply, ack);
        if (ack.kind == LineAck::Refused)
            ++counts.refusals;
        if (ack.kind == LineAck::Refused && (ack.code == 1 || ack.code == 4)) {
            // Erasing or programming failed: only a restart of the loader
            // can help, and the person decides whether to try it.
            if (restarts == kMaxRestarts) {
                why = "it was still refused after " + std::to_string(kMaxRestarts) + " restarts of the loader";
                return false;
            }
            ++restarts;
            const char* question = LoadResString(ack.code == 1 ? IDS_NOK1_RETRY : IDS_NOK4_RETRY);
            if (ui.ShowMessage(kApplicationName, question, MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes) {
                why = StopRequested() ? "the retry was stopped at your request" : "the retry was declined";
                return false;
            }
            DrainUntilQuiet(port, kSettleQuietMs, kSettleLimitMs);
            ++counts.restarts;
            LineAck restarted;
            const std::uint32_t sentAt = serial_platform::TickCount();
            if (TransmitCommChar(port, 'Z')) {
                restarted = WaitForAck(port, reply, kRestartSeconds, kLineAck, restartWaiting);
                if (restarted.kind == LineAck::Accepted)
                    AwaitBanner(port, reply, sentAt, kRestartSeconds, restartWaiting);
            } else {
                restarted.kind = PortGone(port) ? LineAck::PortGone : StopRequested() ? LineAck::Stopped : LineAck::WriteFailed;
            }
            if (restarted.kind != LineAck::Accepted || !reply.Contains("Ver:")) {
                why = restarted.kind == LineAck::Accepted || restarted.kind == LineAck::Refused
                          ? "the restarted loader did not answer with OK and its version"
                          : "the restart " + Unanswered(restarted, kRestartSeconds);
                return false;
            }
            if (!addressRecord.empty() && addressRecord != sentLine) {
                // The address the line belongs to, before the line itself.
                DrainUntilQuiet(port, kSettleQuietMs, kSettleLimitMs);
                if (WriteBytes(port, addressRecord.data(), addressRecord.size()) != kReplyOk) {
                    why = "the extended address record could not be written after the restart";
                    return false;
                }
                LineAck addressAck = WaitForAck(port, reply, kLineSeconds);
                std::string inner;
                if (addressAck.kind == LineAck::TimedOut || addressAck.kind == LineAck::TooLong ||
                    !SettleLine(port, addressAck, reply, addressRecord, addressRecord, ui, restarts, inner, counts,
                                restartWaiting)) {
                    why = "the extended address record sent after the restart " +
                          (inner.empty() ? Unanswered(addressAck, kLineSeconds) : "was not accepted: " + inner);
                    return false;
                }
            }
        } else {
            // Garbled on the way, or not acknowledged: send it again.
            if (resends == kMaxResends) {
                why = "it was still not accepted after " + std::to_string(kMaxResends) + " resends";
                return false;
            }
            ++resends;
        }
        DrainInput(port);
        if (WriteBytes(port, sentLine.data(), sentLine.size()) != kReplyOk) {
            why = "it could not be written again";
            return false;
        }
        ack = WaitForAck(port, reply, kLineSeconds);
    }
    return true;
}
