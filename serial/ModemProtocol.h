#pragma once
// The modem's side of the line in one place: what is sent to it, what it
// must answer, and how long it is given. The scan's probe and the
// identification, start and download of a flashing run all take their
// commands, texts and limits from here, so that the two ends of the program
// cannot drift apart on what a modem is.
//
// The simulated modem keeps its own copy of this contract on purpose: it is
// the far end, and a mistake here must show as a test that fails, not be
// made on both sides at once.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace modem_protocol {

using std::chrono::milliseconds;

// Commands, byte for byte as they go on the line. The ampersands are doubled
// on purpose: "&&F" is the modem's own command, not an escaped "&F".
inline constexpr std::string_view kWakeUp = "AAAAT\r";  // wakes a modem that detects the rate from what it gets
inline constexpr std::string_view kAttention = "AT\r";
inline constexpr std::string_view kFactory = "AT&&F\r";
inline constexpr std::string_view kEchoOn = "ATE1\r";  // the identification cut relies on the echo
inline constexpr std::string_view kIdentify = "ATI\r";
inline constexpr std::string_view kTypeQuery = "ATI5\r";
inline constexpr std::string_view kLoaderQuery = "AT&&FFL\r";
inline constexpr std::string_view kStartFlash = "AT&&FGO\r";
// What goes before every line of the loader file.
inline constexpr std::string_view kLoaderLinePrefix = "at&&f";
// Sent ahead of queued output, it restarts the loader.
inline constexpr char kRestartByte = 'Z';

// Answers. A command, a loader line and a restart are answered with the
// whole "OK" line; an image line with "OK" alone.
inline constexpr std::string_view kCommandOk = "OK\r\n";
inline constexpr std::string_view kImageOk = "OK";
inline constexpr std::string_view kRefusal = "NOK";
inline constexpr std::string_view kRefusalLine = "NOK\r\n";
// The loader's banner, "Ver:" and three characters of version.
inline constexpr std::string_view kBanner = "Ver:";
inline constexpr std::size_t kBannerVersionLength = 3;

// Refusal codes, the digit behind "NOK": only a restart of the loader helps
// after an erase or programming failure; the others are sent again.
enum RefusalCode : int {
    kNoCode = 0,         // a bare "NOK"
    kEraseFailed = 1,    // "NOK1"
    kNoColon = 2,        // "NOK2": no ':' in the line
    kBadChecksum = 3,    // "NOK3": the line's checksum is wrong
    kProgramFailed = 4,  // "NOK4"
};
inline constexpr char kFirstRefusalDigit = '1';
inline constexpr char kLastRefusalDigit = '4';
constexpr bool NeedsRestart(int code) { return code == kEraseFailed || code == kProgramFailed; }
// "NOK" with its code, or bare when it came without one.
inline std::string RefusalText(int code)
{
    return std::string(kRefusal) + (code != kNoCode ? std::to_string(code) : std::string());
}

// The identification in an answer to ATI with echo: the echoed "ATI" and its
// CR and the line end after it (6 bytes), the text, two line ends (4 bytes)
// and "OK". Without the echo the cut comes out empty.
inline std::string CutIdentification(std::string_view text)
{
    std::size_t ok = text.find("OK");
    if (ok == std::string_view::npos || ok < 4 + 6)
        return {};
    return std::string(text.substr(6, ok - 4 - 6));
}

// The bound every caller gives its replies.
inline constexpr std::uint16_t kReplyLimit = 128;

// How long the modem is given for each answer. Default-constructed, these
// are the line's real limits; a test that drives the same code against a
// far end of its own may shorten them.
struct LineTimeLimits {
    milliseconds wakeUp{2000};     // "AAAAT": its answer is not needed
    milliseconds command{1000};    // the scan's "AT", and "AT&&F", "ATE1", "ATI", "AT&&FFL"
    milliseconds attention{2000};  // "AT" when the modem to be flashed is identified
    milliseconds typeQuery{3000};  // "ATI5"
    milliseconds start{2000};      // "AT&&FGO", and the loader's banner after it
    milliseconds line{2000};       // a loader line, an image line once the flash is erased
    milliseconds erase{180000};    // the first image line, which waits for the erase
    milliseconds restart{180000};  // the restarted loader's answer
};

// One step of the handshake: the command, its limit where the scan sends it
// and where the identification does (null: that one does not send it), and
// whether the modem must answer "OK\r\n" for the handshake to go on.
struct HandshakeStep {
    std::string_view command;
    milliseconds LineTimeLimits::*scanLimit;
    milliseconds LineTimeLimits::*identifyLimit;
    bool mustAnswer;
};

// The handshake, in the order sent, all into one reply. A modem that ignores
// the wake-up or the echo command may still pass; the scan ends on "ATI",
// the identification on "ATI5".
inline constexpr HandshakeStep kHandshake[] = {
    {kWakeUp, &LineTimeLimits::wakeUp, &LineTimeLimits::wakeUp, false},
    {kAttention, &LineTimeLimits::command, &LineTimeLimits::attention, true},
    {kFactory, &LineTimeLimits::command, &LineTimeLimits::command, true},
    {kEchoOn, &LineTimeLimits::command, &LineTimeLimits::command, false},
    {kIdentify, &LineTimeLimits::command, nullptr, true},
    {kTypeQuery, nullptr, &LineTimeLimits::typeQuery, true},
};

// A limit in words: "2 seconds" for whole seconds, as every real limit is,
// otherwise in milliseconds.
inline std::string LimitText(milliseconds limit)
{
    const auto count = limit.count();
    if (count % 1000 == 0)
        return std::to_string(count / 1000) + " seconds";
    return std::to_string(count) + " milliseconds";
}

// The reply bound in words.
inline std::string ReplyLimitText() { return std::to_string(kReplyLimit) + " bytes"; }

}  // namespace modem_protocol
