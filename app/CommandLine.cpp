#include "app/CommandLine.h"

#include "app/AppState.h"
#include "app/LastSelection.h"
#include "base/Text.h"

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
