#pragma once
// The serial channel with the modem's own protocol on top: identification,
// compatibility check and the acknowledged line download. Unlike SerialLink
// it holds one thing, the time limits it gives the modem, which are the
// line's own unless it is made with others.

#include "base/Paths.h"
#include "flash/ModemInfo.h"
#include "serial/SerialLink.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class MessageUi;

// How a modem answered one line of a download, or a command.
struct LineAck {
    enum Kind { Accepted, Refused, TimedOut, TooLong, Stopped, PortGone, WriteFailed } kind = TimedOut;
    int code = 0;  // for Refused: 1 to 4, or 0 for a refusal without a code
};

// The verdict that the bytes received so far give on a line.
struct AckScan {
    enum State { Open, Accepted, Refused, RefusedAwaitingCode } state = Open;
    int code = 0;
    // The bare "NOK" of a refusal has come (a "NOK" with something other
    // than a code digit behind it): with the code, the refusal is whole.
    bool bare = false;
};

// What accepts an image line, and what accepts a loader line, a command or
// a restart.
inline constexpr std::string_view kImageAck = modem_protocol::kImageOk;
inline constexpr std::string_view kLineAck = modem_protocol::kCommandOk;

// The exchange whose acknowledgement is put in words: each says it in its
// own sentence.
enum class AckExchange {
    StartCommand,  // "AT&&FGO": a whole sentence
    LoaderLine,    // what follows "Line N " for a loader line sent twice
    ImageLine,     // what follows "Line N " for an image line
    Settling,      // what follows a resent line, a restart or an address record sent after one
};

// The one place that says what an acknowledgement that did not accept
// amounted to. limit is the time the exchange had.
std::string AckWords(const LineAck& ack, AckExchange exchange, std::chrono::milliseconds limit);

// What settling refused lines took: refusals seen and loader restarts made.
struct LineCounts {
    std::uint32_t refusals = 0;
    std::uint32_t restarts = 0;
};

class ModemLink : public SerialLink {
public:
    explicit ModemLink(const modem_protocol::LineTimeLimits& limits = {}) : m_limits(limits) {}
    ~ModemLink() override = default;

    const modem_protocol::LineTimeLimits& Limits() const { return m_limits; }

    // Reads the identification area of the image file. False when the file
    // cannot be opened or is shorter than the area; the record is then
    // cleared.
    bool ReadFileInfo(const std::string& path, ModemInfo& record);
    // The same from an image read before; false too when it is no file
    // that opened.
    static bool FileInfoOf(const FileContents& image, ModemInfo& record);
    // The same from the first bytes of an image.
    static bool ParseFileInfo(std::string_view area, ModemInfo& record);

    // Asks the modem on the open port who it is and whether its resident
    // loader can take an image directly.
    LoadPlan IdentifyModem(PortHandle port, ModemInfo& record);

    // The answer to ATI5: no echo (no usable modem), a resident loader
    // reported with its sector size and checksum, or ask the loader itself.
    enum class TypeAnswer { NoEcho, ResidentLoader, AskLoader };
    static TypeAnswer ParseTypeAnswer(std::string_view reply, ModemInfo& record);
    // The resident loader's answer to AT&&FFL.
    static void ParseLoaderAnswer(std::string_view reply, ModemInfo& record);

    // Judges what has arrived for a line sent: refused once a "NOK" has
    // come, wherever it stands, with the code of a "NOK1" to "NOK4" found
    // before or after it; otherwise accepted once okText has come (but not
    // by an "OK1" to "OK4" at the very start, the rest of a cut "NOKn").
    static AckScan ScanAck(std::string_view bytes, std::string_view okText);
    // True when bytes end inside a refusal's text ("N", "NO", "NOK",
    // "NOK\r"): the rest of that answer is still on its way.
    static bool EndsInsideRefusal(std::string_view bytes);

    static std::uint16_t CompareInfo(const ModemInfo& file, const ModemInfo& modem);
    static void DecodeModemType(char letter, int number, ModemInfo& record);
    // Four characters, most significant first; characters that are not hex
    // digits count with their character code; modulo 2^16.
    static std::uint16_t ParseHex4(std::string_view text);

    // Waits up to limit for the modem's verdict on a line (see ScanAck).
    // A refusal whose code has not come is decided as soon as the line goes
    // quiet: a code on its way comes right behind the refusal. The bytes
    // collected are in reply.
    // waiting, when given, is told about four times a second how long the
    // wait has lasted so far, while nothing decisive has come, and the limit
    // it has.
    using WaitProgress = std::function<void(std::uint32_t waitedMs, std::uint32_t limitMs)>;
    LineAck WaitForAck(PortHandle port, ReplyBuffer& reply, std::chrono::milliseconds limit,
                       std::string_view okText = kImageAck, const WaitProgress& waiting = nullptr);

    // Once a start or restart has been acknowledged: the loader's banner
    // ("Ver:" and its version) may come on either side of the "OK", so
    // what is still on its way is taken into reply until the banner is
    // whole or the command's time limit (limit from sentAt) has passed.
    void AwaitBanner(PortHandle port, ReplyBuffer& reply, std::uint32_t sentAt, std::chrono::milliseconds limit,
                     const WaitProgress& waiting = nullptr);

    // "AT&&FGO": erases the flash and starts the loader. Accepted when the
    // modem answered "OK" (never that of a "NOK") within the start's limit;
    // the reply then holds the loader's banner.
    LineAck StartFlash(PortHandle port, ReplyBuffer& reply);

    // After a refused image line (answer: what came for it): resends it
    // (codes 2, 3 and none), or asks whether to restart the loader and, on
    // Yes, restarts it and resends the line (codes 1 and 4), until it is
    // accepted. A restarted loader starts from address zero, so the
    // extended address record in force for the line (if any) goes again
    // before it, handled like any image line. True when the line was
    // finally accepted; false to abandon the download, with why saying
    // what happened last. counts, when given, adds the refusals seen and
    // the restarts made; restartWaiting hears how long a restart has taken.
    bool HandleNok(PortHandle port, LineAck ack, const ReplyBuffer& answer, std::string_view sentLine,
                   std::string_view addressRecord, MessageUi& ui, std::string& why, LineCounts* counts = nullptr,
                   const WaitProgress& restartWaiting = nullptr);

private:
    // A line being settled: what was sent, how it was last answered, and
    // how often it has been sent again.
    struct PendingLine {
        std::string_view text;
        LineAck ack;
        int resends = 0;
    };
    // What the answer to a refused line calls for.
    enum class Remedy { SendAgain, Restart, GiveUp };

    // The phases of settling a refused line, in their order: take in the
    // rest of the answer and decide; restart the loader (when the person
    // agrees); after a restart, put the address record in force again;
    // send the line again.
    Remedy JudgeRefusal(PortHandle port, PendingLine& line, ReplyBuffer& reply, LineCounts& counts, std::string& why);
    bool RestartLoader(PortHandle port, int code, ReplyBuffer& reply, MessageUi& ui, int& restarts, std::string& why,
                       LineCounts& counts, const WaitProgress& restartWaiting);
    bool SendAddressRecord(PortHandle port, std::string_view addressRecord, ReplyBuffer& reply, LineAck& ack,
                           std::string& why);
    bool SendAgain(PortHandle port, PendingLine& line, ReplyBuffer& reply, std::string& why);
    // Takes in what is left of a refused (or unanswered) line's answer, so
    // that none of it is read as the answer to what goes next; a code that
    // turns up there completes a refusal that had none.
    void DrainRefusal(PortHandle port, ReplyBuffer& answer, LineAck& ack);
    // CollectReply, telling waiting (when given) about four times a second
    // how long the wait since start has lasted; done may move limitMs.
    ReplyStatus CollectReporting(PortHandle port, ReplyBuffer& reply, std::uint32_t start, std::uint64_t& limitMs,
                                 const std::function<bool(const ReplyBuffer&)>& done, const WaitProgress& waiting);

    modem_protocol::LineTimeLimits m_limits;
};
