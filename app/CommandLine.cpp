#include "app/CommandLine.h"

#include "app/AppState.h"
#include "app/LastSelection.h"
#include "base/Text.h"
#include "base/Version.h"

#include <cstdint>
#include <limits>
#include <vector>

std::string ArgumentText(int argc, const char* const* argv)
{
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    std::size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ')
        ++start;
    return text.substr(start);
}

std::string CommandTail(std::string_view commandLine)
{
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        std::size_t close = commandLine.find('"', 1);
        at = close == std::string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && commandLine[at] != ' ' && commandLine[at] != '\t')
            ++at;
    }
    while (at < commandLine.size() && static_cast<unsigned char>(commandLine[at]) <= ' ')
        ++at;
    return std::string(commandLine.substr(at));
}

std::int32_t CommandLineBaudRate(std::int64_t number)
{
    switch (number) {
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
        return static_cast<std::int32_t>(number);
    case 230400:
        return 256000;
    default:
        return 0;
    }
}

std::int64_t LeadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max() + std::int64_t{1};
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value < kLimit)
            value = value * 10 + (text[i] - '0');
    if (value > kLimit)
        value = kLimit;
    return negative ? -value : (value == kLimit ? kLimit - 1 : value);
}

namespace {

std::vector<std::string_view> Tokens(std::string_view text)
{
    constexpr std::string_view kSeparators = " ,\t\n";
    std::vector<std::string_view> tokens;
    std::size_t pos = 0;
    while (true) {
        pos = text.find_first_not_of(kSeparators, pos);
        if (pos == std::string_view::npos)
            break;
        std::size_t end = text.find_first_of(kSeparators, pos);
        if (end == std::string_view::npos)
            end = text.size();
        tokens.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return tokens;
}

std::string TooLong(std::string_view what, std::string_view token, std::size_t limit)
{
    return "The " + std::string(what) + " \"" + std::string(token) + "\" on the command line is longer than " +
           std::to_string(limit) + " characters. ";
}

}  // namespace

StartRequest ClassifyStartRequest(std::string_view argumentText)
{
    std::vector<std::string_view> tokens = Tokens(argumentText);
    if (tokens.size() != 1)
        return StartRequest::Run;
    if (tokens[0] == "--version")
        return StartRequest::Version;
    if (tokens[0] == "--help")
        return StartRequest::Help;
    if (tokens[0] == "--from-menu")
        return StartRequest::FromMenu;
    return StartRequest::Run;
}

std::string WizardVersionText() { return std::string("flashloader ") + ProgramVersion() + "\n"; }

std::string WizardHelpText()
{
    return "Usage: flashloader [PORT [BAUD [FILE]]]\n"
           "       flashloader DEV\n"
           "The wizard that finds a supported modem on a serial port and flashes its firmware.\n"
           "\n"
           "Started without arguments, it begins with the selection of the last run in this\n"
           "directory (lastsel.dat). PORT (COM1 to COM9, at most 4 characters), BAUD (9600,\n"
           "19200, 38400, 57600, 115200 or 230400) and FILE (an Intel HEX image, at most 122\n"
           "characters, no blanks) start it with that selection instead. A line that\n"
           "contains DEV, in any letter case, starts it in developer mode: the confirmation\n"
           "window of the last selection comes first.\n"
           "\n"
           "The settings file tarnix.ini must be in the current directory; lastsel.dat is\n"
           "kept there too, and the flash loader file FLASHLDR.HEX is looked for there.\n"
           "\n"
#ifdef _WIN32
           // The installer's shortcut starts the wizard in a folder of the
           // user's own, which holds the settings file: no menu start here.
           "  --help       show this text\n"
           "  --version    show the version\n";
#else
           "  --from-menu  start in the user's own directory, $XDG_DATA_HOME/flashloader\n"
           "               (~/.local/share/flashloader), with a copy of the installed\n"
           "               sample tarnix.ini when it has none: the desktop menu's start\n"
           "  --help       print this text and exit\n"
           "  --version    print the version and exit\n";
#endif
}

CommandLineOutcome ClassifyCommandLine(std::string_view argumentText)
{
    CommandLineOutcome outcome;
    if (ToUpperAscii(argumentText).find("DEV") != std::string::npos) {
        DeveloperMode = true;
        UseLastSelection = true;
        outcome.mode = RunMode::Developer;
        return outcome;
    }
    DeveloperMode = false;
    UseLastSelection = true;
    outcome.mode = RunMode::Plain;

    std::vector<std::string_view> tokens = Tokens(argumentText);
    if (tokens.empty())
        return outcome;

    // A cut port name or path would name another port or file: refuse it.
    if (tokens[0].size() > kMaxPortNameLength)
        outcome.refusal += TooLong("port name", tokens[0], kMaxPortNameLength);
    if (tokens.size() > 2 && tokens[2].size() > kMaxHexFilePathLength)
        outcome.refusal += TooLong("file path", tokens[2], kMaxHexFilePathLength);
    if (!outcome.refusal.empty()) {
        outcome.refusal += "The selection of the last run is used instead.";
        return outcome;
    }

    UseLastSelection = false;
    outcome.mode = RunMode::PreSelected;
    FlashSelection = FlashSelectionRecord{};
    SetField(FlashSelection.PortName, tokens[0]);
    FlashSelection.BaudRate = tokens.size() > 1 ? CommandLineBaudRate(LeadingNumber(tokens[1])) : kDefaultBaudRate;
    if (tokens.size() > 2) {
        SetField(FlashSelection.HexFilePath, tokens[2]);
    } else {
        std::string path;
        if (DefaultHexFilePath(path))
            SetField(FlashSelection.HexFilePath, path);
    }
    return outcome;
}
