#include "sim/ModemModel.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

// A command line longer than this is noise, not a command; it is dropped.
constexpr std::size_t kMaxCommandLine = 512;
// Image lines are not limited the same way (a record may carry 255 bytes),
// but a line without end must not grow without bound either.
constexpr std::size_t kMaxImageLine = 4096;

const char* const kOk = "\r\nOK\r\n";
const char* const kError = "\r\nERROR\r\n";
const char* const kAck = "OK\r\n";

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string ToUpper(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), Upper);
    return result;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && ToUpper(a) == ToUpper(b);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string Hex4(std::uint16_t value)
{
    char text[5];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

// Takes a fault meant for the given line, once: true the first time only.
template <typename Container>
bool FireOnce(const Container& faults, std::set<int>& fired, int index)
{
    if (faults.count(index) == 0 || fired.count(index) != 0)
        return false;
    fired.insert(index);
    return true;
}

}  // namespace

std::string EscapeForLog(std::string_view bytes)
{
    std::string text;
    for (char c : bytes) {
        auto u = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\\' || c == '"') {
            text += '\\';
            text += c;
        } else if (u < 0x20 || u > 0x7E) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(u));
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

ModemModel::ModemModel(ModemConfig config) : m_config(std::move(config)), m_random(m_config.seed), m_programmer(m_flash)
{
}

void ModemModel::Feed(std::string_view bytes, SimTime now)
{
    if (m_config.silent)
        return;
    for (char c : bytes)
        TakeByte(c, now);
}

std::vector<ScheduledOutput> ModemModel::TakeOutput()
{
    std::vector<ScheduledOutput> output;
    output.swap(m_output);
    return output;
}

bool ModemModel::TakeImageComplete() { return std::exchange(m_imageComplete, false); }

void ModemModel::TakeByte(char c, SimTime now)
{
    // Each byte is complete on the line one character time after the one
    // before it at the earliest; without pacing that is simply now.
    m_wireTime = std::max(now, m_wireTime) + CharacterTime(m_config.paceBaud);
    SimTime at = m_wireTime;
    bool lineStart = m_line.empty() && !m_lineOverflow;

    if (m_loaderMode) {
        // The restart request is a lone 'Z' where a line would begin; it
        // acts at once, no line end follows it.
        if (lineStart && c == 'Z') {
            Restart(at);
            return;
        }
        if (c == '\r' || c == '\n') {
            if (!m_line.empty())
                ImageLine(m_line, at);
            m_line.clear();
            m_lineOverflow = false;
            return;
        }
        if (m_line.size() < kMaxImageLine)
            m_line += c;
        return;
    }

    // The LF of the client's CR LF starts the next line; it means nothing.
    if (lineStart && c == '\n')
        return;
    if (c == '\r') {
        std::string line;
        line.swap(m_line);
        if (m_lineOverflow)
            Log("dropped an overlong command line");
        else
            CommandLine(line, at);
        m_lineOverflow = false;
        return;
    }
    if (m_lineOverflow)
        return;
    if (m_line.size() >= kMaxCommandLine) {
        m_line.clear();
        m_lineOverflow = true;
        return;
    }
    m_line += c;
}

void ModemModel::CommandLine(const std::string& line, SimTime at)
{
    Log("rx \"" + EscapeForLog(line + "\r") + "\"");
    // The resident loader takes its file without echoing it back: the echo
    // would only double the traffic of the download.
    bool loaderLine = StartsWithIgnoringCase(line, "at&&f:");
    if (m_echo && (!loaderLine || m_config.echoLoaderLines))
        Reply(at, line + "\r");

    for (const std::string& ignored : m_config.noAnswer) {
        if (EqualsIgnoringCase(line, ignored)) {
            Log("no answer to this line, as told");
            return;
        }
    }

    std::string upper = ToUpper(line);
    std::size_t at_pos = upper.find("AT");
    if (at_pos == std::string::npos)
        return;  // noise without a command: a modem stays quiet
    std::string_view command = std::string_view(line).substr(at_pos + 2);
    std::string cmd = ToUpper(command);

    if (cmd.starts_with("&&F:")) {
        LoaderRecordLine(line, command.substr(4), at);
    } else if (cmd.empty() || cmd == "&&F") {
        Reply(at, kOk);
    } else if (cmd == "E0" || cmd == "E1") {
        m_echo = cmd == "E1";
        Reply(at, kOk);
    } else if (cmd == "I") {
        Reply(at, "\r\n" + m_config.ident + "\r\n" + kOk);
    } else if (cmd == "I5") {
        Reply(at, "\r\n" + I5Line() + "\r\n" + kOk);
    } else if (cmd == "&&FFL") {
        if (!m_config.fflAnswers) {
            Reply(at, kError);
        } else if (m_config.sectorKb == 0) {
            Reply(at, std::string("\r\nFL\r\n") + kOk);
        } else {
            std::string sector = m_config.sectorKb == 64 ? ",40," : ",10,";
            Reply(at, "\r\n" + Hex4(m_config.loaderChecksum) + sector + "\r\n" + kOk);
        }
    } else if (cmd == "&&FGO") {
        EnterLoaderMode();
        ReplyLoaderStart(at);
    } else {
        Reply(at, kError);
    }
}

void ModemModel::LoaderRecordLine(const std::string& line, std::string_view body, SimTime at)
{
    bool resend = m_loaderIndex >= 0 && line == m_lastLoaderLine;
    if (!resend) {
        ++m_loaderIndex;
        m_lastLoaderLine = line;
    }
    int index = m_loaderIndex;

    sim::HexRecord record;
    if (sim::ParseHexRecord(body, record) != sim::HexParseResult::Ok) {
        Reply(at, kError);
        return;
    }
    if (index != m_lastCountedLoaderIndex) {
        ++m_loaderRecords;
        m_lastCountedLoaderIndex = index;
    }

    bool drop = FireOnce(m_config.dropLoaderAckAt, m_firedDropLoaderAckAt, index);
    if (FireOnce(m_config.delayLoaderAt, m_firedDelayLoaderAt, index))
        at += m_config.delayLoaderAt.at(index);

    bool start = record.type == static_cast<std::uint8_t>(sim::HexRecordType::EndOfFile);
    if (start) {
        Log("flash loader complete after " + std::to_string(m_loaderRecords) + " records, starting it");
        EnterLoaderMode();
    }
    if (drop) {
        Log("loader line " + std::to_string(index) + " taken, reply dropped as told");
        return;
    }
    if (start)
        ReplyLoaderStart(at);
    else
        Reply(at, kOk);
}

void ModemModel::ImageLine(const std::string& line, SimTime at)
{
    Log("rx \"" + EscapeForLog(line) + "\"");
    bool resend = m_haveLastImageLine && line == m_lastImageLine;
    if (!resend) {
        ++m_imageIndex;
        m_lastImageLine = line;
        m_haveLastImageLine = true;
    }
    int index = m_imageIndex;

    if (m_slowFirstPending) {
        m_slowFirstPending = false;
        at += m_config.slowFirstLine;
    }
    if (FireOnce(m_config.delayAckAt, m_firedDelayAckAt, index))
        at += m_config.delayAckAt.at(index);

    // A loader that refused with code 1 or 4 takes nothing more until it is
    // restarted; it says so to every line.
    if (m_pendingRefusal != 0) {
        Refuse(at, m_pendingRefusal);
        return;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        Refuse(at, 2);
        return;
    }
    sim::HexRecord record;
    if (sim::ParseHexRecord(std::string_view(line).substr(colon + 1), record) != sim::HexParseResult::Ok) {
        Refuse(at, 3);
        return;
    }

    // Both draws are made for every data line, whatever they decide, so
    // that one line's fate does not shift the next line's.
    bool data = record.type == static_cast<std::uint8_t>(sim::HexRecordType::Data);
    double nokDraw = 2.0, dropDraw = 2.0;
    if (data) {
        std::uniform_real_distribution<double> uniform(0.0, 1.0);
        nokDraw = uniform(m_random);
        dropDraw = uniform(m_random);
    }
    int refusal = -1;
    if (FireOnce(m_config.nokAt, m_firedNokAt, index)) {
        refusal = m_config.nokAt.at(index);
    } else if (data) {
        double limit = 0;
        for (int code : {1, 2, 3, 4, 0}) {
            limit += m_config.nokRate[code];
            if (nokDraw < limit) {
                refusal = code;
                break;
            }
        }
    }
    if (refusal >= 0) {
        Log("image line " + std::to_string(index) + " refused with code " + std::to_string(refusal));
        if (refusal == 1 || refusal == 4)
            m_pendingRefusal = refusal;
        Refuse(at, refusal);
        return;
    }
    bool drop = FireOnce(m_config.dropAckAt, m_firedDropAckAt, index) || dropDraw < m_config.dropAckRate;

    if (index != m_lastCountedImageIndex) {
        ++m_imageRecords;
        m_lastCountedImageIndex = index;
    }
    bool end = m_programmer.Apply(record);
    if (drop) {
        Log("image line " + std::to_string(index) + " programmed, acknowledgement dropped");
    } else {
        switch (m_config.ackStyle) {
        case ModemConfig::AckStyle::Line:
            Reply(at, kAck);
            break;
        case ModemConfig::AckStyle::Bare:
            Reply(at, "OK");
            break;
        case ModemConfig::AckStyle::Lead:
            Reply(at, "\r\nOK");
            break;
        }
    }
    if (end) {
        Log("image complete: " + std::to_string(m_flash.WrittenCount()) + " bytes programmed, back to command mode");
        m_loaderMode = false;
        m_echo = true;
        m_imageComplete = true;
    }
}

void ModemModel::Restart(SimTime at)
{
    Log("rx \"Z\": restart request");
    m_pendingRefusal = 0;
    // The restarted loader program starts from address base 0 again; what is
    // in flash stays.
    m_programmer.Reset();
    ReplyLoaderStart(at + m_config.restartDelay);
}

void ModemModel::EnterLoaderMode()
{
    Log("loader mode: flash erased");
    m_loaderMode = true;
    m_flash.Erase();
    m_programmer.Reset();
    m_imageIndex = -1;
    m_lastCountedImageIndex = -1;
    m_haveLastImageLine = false;
    m_lastImageLine.clear();
    m_pendingRefusal = 0;
    m_slowFirstPending = m_config.slowFirstLine > SimDuration::zero();
    m_line.clear();
    m_lineOverflow = false;
}

void ModemModel::Reply(SimTime at, std::string bytes)
{
    Log("tx \"" + EscapeForLog(bytes) + "\"");
    m_output.push_back({at, std::move(bytes)});
}

void ModemModel::ReplySplit(SimTime at, const std::string& bytes, std::size_t cut)
{
    if (m_config.splitPause == SimDuration::zero() || cut >= bytes.size()) {
        Reply(at, bytes);
        return;
    }
    Reply(at, bytes.substr(0, cut));
    Reply(at + m_config.splitPause, bytes.substr(cut));
}

void ModemModel::Refuse(SimTime at, int code)
{
    std::string reply = "NOK\r\n";
    if (code != 0) {
        std::string coded = "NOK" + std::to_string(code) + "\r\n";
        reply = m_config.nokCodeFirst ? coded + reply : reply + coded;
    }
    // Cut behind the "N" of the second NOK, or of the only one.
    std::size_t second = reply.find('N', 1);
    ReplySplit(at, reply, second == std::string::npos ? 1 : second + 1);
}

void ModemModel::ReplyLoaderStart(SimTime at)
{
    const std::string banner = "FLASH LOADER Ver:" + m_config.loaderVersion;
    if (m_config.loaderVersion.empty())
        Reply(at, kOk);
    else if (m_config.splitPause != SimDuration::zero())
        ReplySplit(at, std::string(kOk) + banner + "\r\n", std::string_view(kOk).size());
    else if (m_config.oneLineBanner)
        Reply(at, "\r\nVer:" + m_config.loaderVersion + " OK\r\n");
    else
        Reply(at, "\r\n" + banner + kOk);
}

std::string ModemModel::I5Line() const
{
    std::string text(1, Upper(m_config.typeLetter));
    text += "-56K";
    if (!m_config.rrfl)
        return text + " 5.2.1";
    text += " RRFL";
    if (m_config.sectorKb != 0)
        text += (m_config.sectorKb == 64 ? ",40," : ",10,") + Hex4(m_config.loaderChecksum) + ",00";
    return text;
}

void ModemModel::Log(const std::string& text) const
{
    if (m_logger)
        m_logger(text);
}
