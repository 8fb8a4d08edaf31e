#include "sim/SimOptions.h"

#include "serial/PortNames.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <sys/stat.h>

namespace {

const char* const kDescription =
    "modemsim: a simulated modem on a pseudo-terminal. Prints the terminal's device path as its first\n"
    "line of output, then answers the AT dialogue, takes the flash loader and the firmware image, and\n"
    "runs until SIGTERM, SIGINT or SIGHUP.";

std::optional<int> ParseIndex(std::string_view text)
{
    int value = 0;
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

std::optional<double> ParseSeconds(std::string_view text)
{
    double value = 0;
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || end != text.data() + text.size() || !(value >= 0) || value > 86400)
        return std::nullopt;
    return value;
}

// Splits "LINE:VALUE".
bool SplitAt(const std::string& text, std::string_view& line, std::string_view& value)
{
    std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    line = std::string_view(text).substr(0, colon);
    value = std::string_view(text).substr(colon + 1);
    return true;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part)
{
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        bool same = true;
        for (std::size_t j = 0; j < part.size() && same; ++j)
            same = upper(text[i + j]) == upper(part[j]);
        if (same)
            return true;
    }
    return false;
}

// A validator that keeps its check out of the help text: the option's type
// name and help already say what is accepted.
CLI::Validator Quiet(CLI::Validator validator)
{
    validator.description("");
    return validator;
}

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "modemsim: %s\nRun with --help for more information.\n", message.c_str());
    return kSimExitUsage;
}

// The number of a Windows port name COMn (any letter case), 1 to 256 as
// Wine has them; 0 for anything else.
int WinePortNumber(std::string_view name)
{
    if (name.size() < 4 || name.size() > 6)
        return 0;
    for (std::size_t i = 0; i < 3; ++i)
        if ((name[i] | 0x20) != "com"[i])
            return 0;
    std::optional<int> number = ParseIndex(name.substr(3));
    if (!number || *number < 1 || *number > 256 || name[3] == '0')
        return 0;
    return *number;
}

// The folder of a Wine prefix that holds its drive letters and COM ports.
std::string WineDosDevices()
{
    std::string prefix;
    if (const char* wine = std::getenv("WINEPREFIX"); wine != nullptr && *wine != '\0')
        prefix = wine;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        prefix = std::string(home) + "/.wine";
    else
        prefix = "/.wine";
    return prefix + "/dosdevices";
}

bool IsDirectory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

int ParseSimOptions(int argc, char** argv, SimOptions& options)
{
    ModemConfig& modem = options.modem;
    CLI::App app{kDescription, "modemsim"};

    std::string port, type = "S", sector = "64", checksum = "1A2B", loaderVersion = "4.4";
    double restartDelay = 0.2, slowFirstLine = 0, chunkGapMs = 2, latencyTimerMs = 0, splitPauseMs = 0;
    std::size_t chunk = 0;
    int pace = 0;
    std::vector<std::string> nokAt, dropAckAt, dropLoaderAckAt, delayLoaderAt, delayAckAt;
    bool noRrfl = false, noFfl = false;

    app.add_option("--port", port, "Register the device as COMn (COM1..COM9) in the port directory")
        ->type_name("COMn");
    app.add_flag("--replace", options.replace, "Take over a COMn entry that leads to an existing device");
    std::string winePort;
    app.add_option("--wine-port", winePort,
                   "Link the device as COMn of the Wine prefix ($WINEPREFIX, else ~/.wine), replacing its comn")
        ->type_name("COMn");
    app.add_flag("-v,--verbose", options.verbose, "Log every line received and every reply on stderr");
    app.add_flag("--silent", modem.silent, "Answer nothing at all");

    auto* identification = "Identification";
    app.add_option("--ident", modem.ident, "What ATI answers (no OK, CR or LF)")
        ->type_name("TEXT")
        ->default_str(modem.ident)
        ->group(identification);
    app.add_option("--type", type, "Modem type letter of ATI5: C, I, S, U, P or any other letter")
        ->type_name("LETTER")
        ->default_str("S")
        ->group(identification);
    app.add_flag("--no-rrfl", noRrfl, "ATI5 reports an old firmware without the resident loader")
        ->group(identification);
    app.add_option("--sector", sector, "Flash sector size in KiB reported: 64, 16 or none")
        ->type_name("64|16|none")
        ->default_str("64")
        ->group(identification);
    app.add_option("--checksum", checksum, "Loader checksum reported, four hex digits")
        ->type_name("HHHH")
        ->default_str("1A2B")
        ->group(identification);
    app.add_flag("--no-ffl", noFfl, "The resident loader does not answer AT&&FFL (ERROR)")->group(identification);
    app.add_option("--loader-version", loaderVersion, "Flash loader banner version, e.g. 4.4 or 4.3, or none")
        ->type_name("VERSION|none")
        ->default_str("4.4")
        ->group(identification);

    auto* behaviour = "Behaviour";
    app.add_option("--restart-delay", restartDelay, "Seconds before the loader answers a restart request (Z)")
        ->type_name("SECONDS")
        ->default_str("0.2")
        ->check(Quiet(CLI::Range(0.0, 3600.0)))
        ->group(behaviour);
    app.add_flag("--nok-code-first", modem.nokCodeFirst, "Refusals read NOK<n> then NOK")->group(behaviour);
    std::map<std::string, ModemConfig::AckStyle> ackStyles = {{"line", ModemConfig::AckStyle::Line},
                                                              {"bare", ModemConfig::AckStyle::Bare},
                                                              {"lead", ModemConfig::AckStyle::Lead}};
    app.add_option("--ack", modem.ackStyle,
                   "Acknowledge image lines with OK and CR LF (line), a bare OK (bare), or CR LF and OK (lead)")
        ->type_name("line|bare|lead")
        ->default_str("line")
        ->transform(Quiet(CLI::CheckedTransformer(ackStyles)))
        ->group(behaviour);
    app.add_flag("--one-line-banner", modem.oneLineBanner,
                 "The started loader answers with its version and OK on one line")
        ->group(behaviour);
    app.add_flag("--echo-loader-lines", modem.echoLoaderLines, "Echo the loader file's lines while echo is on")
        ->group(behaviour);
    app.add_option("--split-replies-ms", splitPauseMs,
                   "Pause MS in every refusal (after the N of its second NOK) and every loader start (OK first, "
                   "then the banner)")
        ->type_name("MS")
        ->check(Quiet(CLI::Range(0.0, 60000.0)))
        ->group(behaviour);
    app.add_option("--flash-out", options.flashOut, "Write the flash content as Intel HEX to FILE")
        ->type_name("FILE")
        ->group(behaviour);
    app.add_option("--flash-in", options.flashIn, "Intel HEX file with the flash content at start")
        ->type_name("FILE")
        ->check(Quiet(CLI::ExistingFile))
        ->group(behaviour);

    auto* faults = "Faults";
    app.add_option("--seed", modem.seed, "Seed of the random faults")->type_name("N")->default_str("1")->group(faults);
    app.add_option("--no-answer", modem.noAnswer, "A command line (without CR, any case) that gets no reply")
        ->type_name("TEXT")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--slow-first-line", slowFirstLine, "Seconds the first image line's acknowledgement is late")
        ->type_name("SECONDS")
        ->check(Quiet(CLI::Range(0.0, 3600.0)))
        ->group(faults);
    app.add_option("--chunk", chunk, "Write every reply in pieces of N bytes")
        ->type_name("N")
        ->check(Quiet(CLI::Range(std::size_t{1}, std::size_t{65536})))
        ->group(faults);
    app.add_option("--latency-timer-ms", latencyTimerMs,
                   "Hold every reply until the next tick of a USB adapter's latency timer of this many ms")
        ->type_name("MS")
        ->check(Quiet(CLI::Range(0.0, 1000.0)))
        ->group(faults);
    app.add_option("--chunk-gap-ms", chunkGapMs, "Milliseconds between the pieces of a reply")
        ->type_name("MS")
        ->default_str("2")
        ->check(Quiet(CLI::Range(0.0, 60000.0)))
        ->group(faults);
    app.add_option("--pace", pace, "Emulate a line at BAUD: lines arrive and replies leave at that speed")
        ->type_name("BAUD")
        ->check(Quiet(CLI::Range(1, 10000000)))
        ->group(faults);
    const char* nokNames[5] = {"--nok-no-code", "--nok1", "--nok2", "--nok3", "--nok4"};
    for (int code = 0; code <= 4; ++code) {
        std::string help = code == 0 ? "Probability of a refusal without code per image data line"
                                     : "Probability of refusal NOK" + std::to_string(code) + " per image data line";
        app.add_option(nokNames[code], modem.nokRate[code], help)
            ->type_name("RATE")
            ->check(Quiet(CLI::Range(0.0, 1.0)))
            ->group(faults);
    }
    app.add_option("--drop-ack", modem.dropAckRate, "Probability that an image data line gets no acknowledgement")
        ->type_name("RATE")
        ->check(Quiet(CLI::Range(0.0, 1.0)))
        ->group(faults);
    app.add_option("--nok-at", nokAt, "Refuse image line LINE (from 0) with CODE 1..4, 0 for none")
        ->type_name("LINE:CODE")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--drop-ack-at", dropAckAt, "Program image line LINE but do not acknowledge it")
        ->type_name("LINE")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--drop-loader-ack-at", dropLoaderAckAt, "Take loader line LINE (from 0) but do not reply")
        ->type_name("LINE")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--delay-loader-at", delayLoaderAt, "Answer loader line LINE that late")
        ->type_name("LINE:SECONDS")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--delay-ack-at", delayAckAt, "Answer image line LINE that late")
        ->type_name("LINE:SECONDS")
        ->allow_extra_args(false)
        ->group(faults);
    app.footer(
        "Line indices count from 0: image lines from loader-mode entry, loader lines from start. A line\n"
        "repeating the line before it keeps its index; each LINE fault acts the first time only.\n"
        "The port directory is $FLASHLOADER_PORTS, else $XDG_CONFIG_HOME/flashloader/ports.\n"
        "--wine-port COM5 makes $WINEPREFIX/dosdevices/com5 lead to the device while modemsim runs.\n");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kSimExitOk : kSimExitUsage;
    }

    if (!port.empty()) {
        options.portNumber = ComPortNumber(port);
        if (options.portNumber == 0)
            return UsageError("--port: '" + port + "' is no port name; COM1 to COM9 expected");
    }
    if (!winePort.empty()) {
        int number = WinePortNumber(winePort);
        if (number == 0)
            return UsageError("--wine-port: '" + winePort + "' is no port name; COM1 to COM256 expected");
        std::string dosDevices = WineDosDevices();
        if (!IsDirectory(dosDevices))
            return UsageError("--wine-port: " + dosDevices + " does not exist; set WINEPREFIX to the Wine prefix "
                              "the Windows program runs in (run wineboot there once to make it)");
        options.wineLink = dosDevices + "/com" + std::to_string(number);
    }
    if (ContainsIgnoringCase(modem.ident, "OK") || modem.ident.find_first_of("\r\n") != std::string::npos)
        return UsageError("--ident: the text must not contain OK, CR or LF (a client would misread the reply)");
    if (type.size() != 1 || !((type[0] >= 'A' && type[0] <= 'Z') || (type[0] >= 'a' && type[0] <= 'z')))
        return UsageError("--type: '" + type + "' is no type letter; one letter expected (C, I, S, U, P, ...)");
    modem.typeLetter = type[0];
    modem.rrfl = !noRrfl;
    modem.fflAnswers = !noFfl;
    if (sector == "64" || sector == "16")
        modem.sectorKb = sector == "64" ? 64 : 16;
    else if (sector == "none" || sector == "NONE")
        modem.sectorKb = 0;
    else
        return UsageError("--sector: '" + sector + "' is no sector size; 64, 16 or none expected");
    {
        unsigned value = 0;
        auto [end, failure] = std::from_chars(checksum.data(), checksum.data() + checksum.size(), value, 16);
        if (checksum.size() != 4 || failure != std::errc() || end != checksum.data() + checksum.size())
            return UsageError("--checksum: '" + checksum + "' is not four hex digits");
        modem.loaderChecksum = static_cast<std::uint16_t>(value);
    }
    if (loaderVersion == "none" || loaderVersion == "NONE") {
        modem.loaderVersion.clear();
    } else {
        bool digitsAndDots = !loaderVersion.empty() && loaderVersion.size() <= 8 &&
                             loaderVersion.find_first_not_of("0123456789.") == std::string::npos;
        if (!digitsAndDots)
            return UsageError("--loader-version: '" + loaderVersion + "' is no version; e.g. 4.4, 4.3 or none");
        modem.loaderVersion = loaderVersion;
    }
    modem.restartDelay = SecondsToDuration(restartDelay);
    modem.splitPause = SecondsToDuration(splitPauseMs / 1000.0);
    modem.slowFirstLine = SecondsToDuration(slowFirstLine);
    modem.paceBaud = pace;
    options.shaping.chunk = chunk;
    options.shaping.chunkGap = SecondsToDuration(chunkGapMs / 1000.0);
    options.shaping.latencyTimer = SecondsToDuration(latencyTimerMs / 1000.0);
    options.shaping.paceBaud = pace;

    for (const std::string& item : nokAt) {
        std::string_view line, code;
        std::optional<int> index, value;
        if (SplitAt(item, line, code))
            index = ParseIndex(line), value = ParseIndex(code);
        if (!index || !value || *value > 4)
            return UsageError("--nok-at: '" + item + "' is not LINE:CODE with CODE 0 to 4");
        modem.nokAt[*index] = *value;
    }
    auto takeLines = [](const std::vector<std::string>& items, std::set<int>& lines, const char* name) {
        for (const std::string& item : items) {
            std::optional<int> index = ParseIndex(item);
            if (!index)
                return UsageError(std::string(name) + ": '" + item + "' is no line index (0 or more)");
            lines.insert(*index);
        }
        return -1;
    };
    if (int status = takeLines(dropAckAt, modem.dropAckAt, "--drop-ack-at"); status >= 0)
        return status;
    if (int status = takeLines(dropLoaderAckAt, modem.dropLoaderAckAt, "--drop-loader-ack-at"); status >= 0)
        return status;
    auto takeDelays = [](const std::vector<std::string>& items, std::map<int, SimDuration>& delays,
                         const char* name) {
        for (const std::string& item : items) {
            std::string_view line, seconds;
            std::optional<int> index;
            std::optional<double> delay;
            if (SplitAt(item, line, seconds))
                index = ParseIndex(line), delay = ParseSeconds(seconds);
            if (!index || !delay)
                return UsageError(std::string(name) + ": '" + item + "' is not LINE:SECONDS");
            delays[*index] = SecondsToDuration(*delay);
        }
        return -1;
    };
    if (int status = takeDelays(delayLoaderAt, modem.delayLoaderAt, "--delay-loader-at"); status >= 0)
        return status;
    if (int status = takeDelays(delayAckAt, modem.delayAckAt, "--delay-ack-at"); status >= 0)
        return status;
    return -1;
}
