#include "sim/SimOptions.h"

#include "base/ProcessSetup.h"
#include "base/Version.h"
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

// The options as given, before they are checked and taken into SimOptions.
struct GivenOptions {
    std::string port, winePort;
    std::string type = "S", sector = "64", checksum = "1A2B", loaderVersion = "4.4";
    bool noRrfl = false, noFfl = false;
    double restartDelay = 0.2, slowFirstLine = 0, chunkGapMs = 2, latencyTimerMs = 0, splitPauseMs = 0;
    std::size_t chunk = 0;
    int pace = 0;
    std::vector<std::string> nokAt, dropAckAt, dropLoaderAckAt, delayLoaderAt, delayAckAt;
};

void AddPortOptions(CLI::App& app, GivenOptions& given, SimOptions& options)
{
    ModemConfig& modem = options.modem;
    app.add_option("--port", given.port, "Register the device as COMn (COM1..COM256) in the port directory")
        ->type_name("COMn");
    app.add_flag("--replace", options.replace, "Take over a COMn entry that leads to an existing device");
    app.add_option("--wine-port", given.winePort,
                   "Link the device as COMn of the Wine prefix ($WINEPREFIX, else ~/.wine), replacing its comn")
        ->type_name("COMn");
    app.add_flag("-v,--verbose", options.verbose, "Log every line received and every reply on stderr");
    app.add_flag("--silent", modem.silent, "Answer nothing at all");
}

void AddIdentificationOptions(CLI::App& app, GivenOptions& given, ModemConfig& modem)
{
    auto* identification = "Identification";
    app.add_option("--ident", modem.ident, "What ATI answers (no OK, CR or LF)")
        ->type_name("TEXT")
        ->default_str(modem.ident)
        ->group(identification);
    app.add_option("--type", given.type, "Modem type letter of ATI5: C, I, S, U, P or any other letter")
        ->type_name("LETTER")
        ->default_str("S")
        ->group(identification);
    app.add_flag("--no-rrfl", given.noRrfl, "ATI5 reports an old firmware without the resident loader")
        ->group(identification);
    app.add_option("--sector", given.sector, "Flash sector size in KiB reported: 64, 16 or none")
        ->type_name("64|16|none")
        ->default_str("64")
        ->group(identification);
    app.add_option("--checksum", given.checksum, "Loader checksum reported, four hex digits")
        ->type_name("HHHH")
        ->default_str("1A2B")
        ->group(identification);
    app.add_flag("--no-ffl", given.noFfl, "The resident loader does not answer AT&&FFL (ERROR)")->group(identification);
    app.add_option("--loader-version", given.loaderVersion, "Flash loader banner version, e.g. 4.4 or 4.3, or none")
        ->type_name("VERSION|none")
        ->default_str("4.4")
        ->group(identification);
}

void AddBehaviourOptions(CLI::App& app, GivenOptions& given, SimOptions& options)
{
    ModemConfig& modem = options.modem;
    auto* behaviour = "Behaviour";
    app.add_option("--restart-delay", given.restartDelay, "Seconds before the loader answers a restart request (Z)")
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
    app.add_option("--split-replies-ms", given.splitPauseMs,
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
}

void AddFaultOptions(CLI::App& app, GivenOptions& given, ModemConfig& modem)
{
    auto* faults = "Faults";
    app.add_option("--seed", modem.seed, "Seed of the random faults")->type_name("N")->default_str("1")->group(faults);
    app.add_option("--no-answer", modem.noAnswer, "A command line (without CR, any case) that gets no reply")
        ->type_name("TEXT")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--slow-first-line", given.slowFirstLine, "Seconds the first image line's acknowledgement is late")
        ->type_name("SECONDS")
        ->check(Quiet(CLI::Range(0.0, 3600.0)))
        ->group(faults);
    app.add_option("--chunk", given.chunk, "Write every reply in pieces of N bytes")
        ->type_name("N")
        ->check(Quiet(CLI::Range(std::size_t{1}, std::size_t{65536})))
        ->group(faults);
    app.add_option("--latency-timer-ms", given.latencyTimerMs,
                   "Hold every reply until the next tick of a USB adapter's latency timer of this many ms")
        ->type_name("MS")
        ->check(Quiet(CLI::Range(0.0, 1000.0)))
        ->group(faults);
    app.add_option("--chunk-gap-ms", given.chunkGapMs, "Milliseconds between the pieces of a reply")
        ->type_name("MS")
        ->default_str("2")
        ->check(Quiet(CLI::Range(0.0, 60000.0)))
        ->group(faults);
    app.add_option("--pace", given.pace, "Emulate a line at BAUD: lines arrive and replies leave at that speed")
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
    app.add_option("--nok-at", given.nokAt, "Refuse image line LINE (from 0) with CODE 1..4, 0 for none")
        ->type_name("LINE:CODE")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--drop-ack-at", given.dropAckAt, "Program image line LINE but do not acknowledge it")
        ->type_name("LINE")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--drop-loader-ack-at", given.dropLoaderAckAt, "Take loader line LINE (from 0) but do not reply")
        ->type_name("LINE")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--delay-loader-at", given.delayLoaderAt, "Answer loader line LINE that late")
        ->type_name("LINE:SECONDS")
        ->allow_extra_args(false)
        ->group(faults);
    app.add_option("--delay-ack-at", given.delayAckAt, "Answer image line LINE that late")
        ->type_name("LINE:SECONDS")
        ->allow_extra_args(false)
        ->group(faults);
}

// The ports to register the device under. -1 to go on, else the status to
// exit with (as for every Take... below).
int TakePorts(const GivenOptions& given, SimOptions& options)
{
    if (!given.port.empty()) {
        options.portNumber = ComPortNumber(given.port);
        if (options.portNumber == 0)
            return UsageError("--port: '" + given.port + "' is no port name; COM1 to COM256 expected");
    }
    if (!given.winePort.empty()) {
        int number = ComPortNumber(given.winePort);
        if (number == 0)
            return UsageError("--wine-port: '" + given.winePort + "' is no port name; COM1 to COM256 expected");
        std::string dosDevices = WineDosDevices();
        if (!IsDirectory(dosDevices))
            return UsageError("--wine-port: " + dosDevices +
                              " does not exist; set WINEPREFIX to the Wine prefix "
                              "the Windows program runs in (run wineboot there once to make it)");
        options.wineLink = dosDevices + "/com" + std::to_string(number);
    }
    return -1;
}

// What the modem says about itself.
int TakeIdentification(const GivenOptions& given, ModemConfig& modem)
{
    const std::string& type = given.type;
    const std::string& sector = given.sector;
    const std::string& checksum = given.checksum;
    const std::string& loaderVersion = given.loaderVersion;
    if (ContainsIgnoringCase(modem.ident, "OK") || modem.ident.find_first_of("\r\n") != std::string::npos)
        return UsageError("--ident: the text must not contain OK, CR or LF (a client would misread the reply)");
    if (type.size() != 1 || !((type[0] >= 'A' && type[0] <= 'Z') || (type[0] >= 'a' && type[0] <= 'z')))
        return UsageError("--type: '" + type + "' is no type letter; one letter expected (C, I, S, U, P, ...)");
    modem.typeLetter = type[0];
    modem.rrfl = !given.noRrfl;
    modem.fflAnswers = !given.noFfl;
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
    return -1;
}

// The times of the modem and the shaping of its output; the ranges are
// checked by the parser already.
void TakeTimings(const GivenOptions& given, SimOptions& options)
{
    ModemConfig& modem = options.modem;
    modem.restartDelay = SecondsToDuration(given.restartDelay);
    modem.splitPause = SecondsToDuration(given.splitPauseMs / 1000.0);
    modem.slowFirstLine = SecondsToDuration(given.slowFirstLine);
    modem.paceBaud = given.pace;
    options.shaping.chunk = given.chunk;
    options.shaping.chunkGap = SecondsToDuration(given.chunkGapMs / 1000.0);
    options.shaping.latencyTimer = SecondsToDuration(given.latencyTimerMs / 1000.0);
    options.shaping.paceBaud = given.pace;
}

int TakeLines(const std::vector<std::string>& items, std::set<int>& lines, const char* name)
{
    for (const std::string& item : items) {
        std::optional<int> index = ParseIndex(item);
        if (!index)
            return UsageError(std::string(name) + ": '" + item + "' is no line index (0 or more)");
        lines.insert(*index);
    }
    return -1;
}

int TakeDelays(const std::vector<std::string>& items, std::map<int, SimDuration>& delays, const char* name)
{
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
}

// The faults that hit given lines.
int TakeLineFaults(const GivenOptions& given, ModemConfig& modem)
{
    for (const std::string& item : given.nokAt) {
        std::string_view line, code;
        std::optional<int> index, value;
        if (SplitAt(item, line, code))
            index = ParseIndex(line), value = ParseIndex(code);
        if (!index || !value || *value > 4)
            return UsageError("--nok-at: '" + item + "' is not LINE:CODE with CODE 0 to 4");
        modem.nokAt[*index] = *value;
    }
    if (int status = TakeLines(given.dropAckAt, modem.dropAckAt, "--drop-ack-at"); status >= 0)
        return status;
    if (int status = TakeLines(given.dropLoaderAckAt, modem.dropLoaderAckAt, "--drop-loader-ack-at"); status >= 0)
        return status;
    if (int status = TakeDelays(given.delayLoaderAt, modem.delayLoaderAt, "--delay-loader-at"); status >= 0)
        return status;
    return TakeDelays(given.delayAckAt, modem.delayAckAt, "--delay-ack-at");
}

}  // namespace

int ParseSimOptions(int argc, char** argv, SimOptions& options)
{
    CLI::App app{kDescription, "modemsim"};
    app.set_version_flag("--version", std::string("modemsim ") + ProgramVersion());
    GivenOptions given;
    AddPortOptions(app, given, options);
    AddIdentificationOptions(app, given, options.modem);
    AddBehaviourOptions(app, given, options);
    AddFaultOptions(app, given, options.modem);
    app.footer("Line indices count from 0: image lines from loader-mode entry, loader lines from start. A line\n"
               "repeating the line before it keeps its index; each LINE fault acts the first time only.\n"
               "The port directory is $FLASHLOADER_PORTS, else $XDG_CONFIG_HOME/flashloader/ports.\n"
               "--wine-port COM5 makes $WINEPREFIX/dosdevices/com5 lead to the device while modemsim runs.\n");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? StatusAfterOutput(kSimExitOk, "modemsim") : kSimExitUsage;
    }

    if (int status = TakePorts(given, options); status >= 0)
        return status;
    if (int status = TakeIdentification(given, options.modem); status >= 0)
        return status;
    TakeTimings(given, options);
    return TakeLineFaults(given, options.modem);
}
