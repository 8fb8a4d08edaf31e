#pragma once
// The command line chooses the run mode: developer mode when it holds "DEV"
// anywhere, in any letter case; a plain start when it is empty; otherwise it
// carries a selection of port, baud rate and image file.

#include <cstdint>
#include <string>
#include <string_view>

enum class RunMode { Developer, Plain, PreSelected };

struct CommandLineOutcome {
    RunMode mode = RunMode::Plain;
    // Why a selection on the command line was not taken (a token longer than
    // its field); the start then goes on as a plain one. Empty otherwise.
    std::string refusal;
};

// The program's arguments joined by single blanks, with leading blanks and
// control characters removed: the one text that the classification reads.
std::string ArgumentText(int argc, const char* const* argv);

// The same text from a whole Windows command line (GetCommandLineA): the
// program's name is skipped as Windows reads it (up to the closing quote
// when it starts with one, else up to the first blank or tab), the rest is
// taken as typed, with leading blanks and control characters removed.
std::string CommandTail(std::string_view commandLine);

// The baud rate that a number given on the command line stands for: the
// five list rates as they are, 230400 as 256000, anything else 0.
std::int32_t CommandLineBaudRate(std::int64_t number);

// Reads a decimal number as the classic library conversion does: leading
// blanks, an optional sign, digits up to the first non-digit; 0 without
// digits. Values beyond the 32-bit range are held at its ends.
std::int64_t LeadingNumber(std::string_view text);

// What a start of the wizard asks for besides a run. The line is classified
// as above unless it is one of these tokens alone (leading and trailing
// blanks aside): such a token is too long for a port name, so no selection
// can mean it. "--version" and "--help" answer and end the program;
// "--from-menu" is how the desktop's menu starts the wizard: in the user's
// own start directory, not in whatever directory the menu runs it in.
enum class StartRequest { Run, Version, Help, FromMenu };
StartRequest ClassifyStartRequest(std::string_view argumentText);

// The wizard's answers to "--version" and "--help".
std::string WizardVersionText();
std::string WizardHelpText();

// Sets DeveloperMode and UseLastSelection; in pre-selected mode fills
// FlashSelection from the tokens, with the defaults for tokens not given.
CommandLineOutcome ClassifyCommandLine(std::string_view argumentText);
