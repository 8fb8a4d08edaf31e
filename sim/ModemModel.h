#pragma once
// The simulated modem's behaviour on the line: bytes in, replies out.
//
// The model does no I/O and never reads a clock. It is fed the bytes the
// client sent together with the time they arrived, and queues its replies
// with the time before which each must not go out (a reply may be held back
// deliberately, and with line pacing a line only counts as received when its
// last byte would have come in). The event loop moves those replies to the
// pseudo-terminal; tests read them directly.
//
// Two modes:
// - command mode: AT command lines ending in CR, echoed while echo is on,
//   answered with verbose result codes; the resident loader takes the flash
//   loader file as "AT&&F:" lines, or is started at once with AT&&FGO;
// - loader mode: Intel HEX records of the firmware image, one per line, each
//   acknowledged with "OK" or refused with "NOK" and a reason code.
//
// Faults can be injected at random (seeded, so a run can be repeated) or at
// given line indices, to exercise a client's recovery.

#include "sim/FlashMemory.h"
#include "sim/SimClock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct ModemConfig {
    bool silent = false;  // takes everything, answers nothing

    // Identification.
    std::string ident = "KT-56 V.92 Data/Fax Modem";
    char typeLetter = 'S';
    bool rrfl = true;   // the firmware reports the resident loader in ATI5
    int sectorKb = 64;  // 64, 16, or 0 when the firmware reports none
    std::uint16_t loaderChecksum = 0x1A2B;
    bool fflAnswers = true;             // AT&&FFL answered by the resident loader
    std::string loaderVersion = "4.4";  // empty: the loader shows no banner

    // Refusals in loader mode: "NOK" then "NOK<n>", or the other way round.
    bool nokCodeFirst = false;

    // How an accepted image line is acknowledged: "OK\r\n", or as tersely
    // as a modem may: a bare "OK", or "\r\nOK" with nothing behind it.
    enum class AckStyle { Line, Bare, Lead } ackStyle = AckStyle::Line;
    // The started or restarted loader answers "\r\nVer:4.4 OK\r\n", banner
    // and OK on one line, instead of the banner on a line of its own.
    bool oneLineBanner = false;
    // Loader lines are echoed while echo is on, as other command lines are.
    bool echoLoaderLines = false;
    // Answers that stop half way and go on this much later: a refusal
    // after the "N" of its second "NOK" ("NOK\r\nN", then "OK3\r\n"), and
    // a started loader's answer after its OK, the banner last. Zero: whole.
    SimDuration splitPause{0};
    SimDuration restartDelay = std::chrono::milliseconds(200);

    // Command lines (without CR, any case) that get no reply and are not acted on.
    std::vector<std::string> noAnswer;

    // The acknowledgement of the first image line after loader-mode entry
    // comes this late (zero: not at all delayed).
    SimDuration slowFirstLine{0};

    // Received lines count as complete only when they would have arrived at
    // this baud rate; 0 takes them as they come.
    int paceBaud = 0;

    // Random faults, per image data line.
    std::uint32_t seed = 1;
    double nokRate[5] = {0, 0, 0, 0, 0};  // [0]: refusal without code, [n]: NOKn
    double dropAckRate = 0;

    // Faults at given 0-based line indices, each the first time that line
    // comes. Image lines count from loader-mode entry, loader lines from start.
    std::map<int, int> nokAt;  // line -> refusal code, 0 for none
    std::set<int> dropAckAt;
    std::set<int> dropLoaderAckAt;
    std::map<int, SimDuration> delayLoaderAt;
    std::map<int, SimDuration> delayAckAt;
};

struct ScheduledOutput {
    SimTime notBefore;
    std::string bytes;

    bool operator==(const ScheduledOutput&) const = default;
};

class ModemModel {
public:
    explicit ModemModel(ModemConfig config);

    // The client's bytes, arrived at now.
    void Feed(std::string_view bytes, SimTime now);

    // The replies queued since the last call, in the order they must go out.
    std::vector<ScheduledOutput> TakeOutput();

    // True once after each image end-of-file record taken: the flash content
    // is complete and worth saving.
    bool TakeImageComplete();

    // Receives one line per event (received line, reply, mode change) when set.
    void SetLogger(std::function<void(const std::string&)> logger) { m_logger = std::move(logger); }

    bool InLoaderMode() const { return m_loaderMode; }
    bool EchoOn() const { return m_echo; }
    int LoaderRecordsTaken() const { return m_loaderRecords; }
    int ImageRecordsTaken() const { return m_imageRecords; }
    sim::FlashMemory& Flash() { return m_flash; }
    const sim::FlashMemory& Flash() const { return m_flash; }

    // The text line ATI5 answers with: type letter, "-56K", then either the
    // resident loader's details or the old firmware's version.
    std::string I5Line() const;

private:
    void TakeByte(char c, SimTime now);
    void CommandLine(const std::string& line, SimTime at);
    void LoaderRecordLine(const std::string& line, std::string_view body, SimTime at);
    void ImageLine(const std::string& line, SimTime at);
    void Restart(SimTime at);
    void EnterLoaderMode();

    void Reply(SimTime at, std::string bytes);
    void Refuse(SimTime at, int code);
    // The started or restarted loader's answer: OK and its banner.
    void ReplyLoaderStart(SimTime at);
    // bytes, split after cut when answers are to be split.
    void ReplySplit(SimTime at, const std::string& bytes, std::size_t cut);
    void Log(const std::string& text) const;

    ModemConfig m_config;
    std::mt19937 m_random;
    sim::FlashMemory m_flash;
    sim::HexProgrammer m_programmer;

    bool m_loaderMode = false;
    bool m_echo = true;
    std::string m_line;
    bool m_lineOverflow = false;
    SimTime m_wireTime{};  // when the last received byte was complete on the line

    // Line indices for the faults at given lines: a line repeating the one
    // before it (a resend) keeps that line's index.
    int m_loaderIndex = -1;
    std::string m_lastLoaderLine;
    int m_imageIndex = -1;
    std::string m_lastImageLine;
    bool m_haveLastImageLine = false;
    std::set<int> m_firedNokAt, m_firedDropAckAt, m_firedDropLoaderAckAt, m_firedDelayLoaderAt, m_firedDelayAckAt;

    bool m_slowFirstPending = false;
    int m_pendingRefusal = 0;  // 1 or 4 once the loader needs a restart
    // Records taken, a resent one counted once.
    int m_loaderRecords = 0;
    int m_lastCountedLoaderIndex = -1;
    int m_imageRecords = 0;
    int m_lastCountedImageIndex = -1;
    bool m_imageComplete = false;

    std::vector<ScheduledOutput> m_output;
    std::function<void(const std::string&)> m_logger;
};

// The bytes as printable text for the log: CR, LF and others escaped.
std::string EscapeForLog(std::string_view bytes);
