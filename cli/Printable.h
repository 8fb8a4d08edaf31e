#pragma once
// Text from outside the program (a modem's answers, the settings file, the
// stored selection) on its way to a terminal.

#include <string>
#include <string_view>

// Every control byte but tab written as an escape (\r, \n, \x1B), and the
// control characters of the 8-bit range, as UTF-8 spells them, too: a modem
// that answers ESC ] 0 ; ... BEL must not retitle the terminal, clear the
// screen or move the cursor over what the program said. keepLineBreaks
// leaves LF as it is, for the program's own messages of several lines.
std::string Printable(std::string_view text, bool keepLineBreaks = false);
