#pragma once
// What to offer a person whose command line was not understood: the
// subcommand or option they most likely meant.

#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

// The one name among names that typed most likely meant: the nearest
// within a slip or two of the keyboard (a letter left out, added, wrong, or
// two swapped), else the only one that typed begins; "" when none is that
// near, or when two are equally near.
std::string NearestName(std::string_view typed, const std::vector<std::string>& names);

// "Did you mean ...?" lines, one for each token of the command line that
// names no subcommand or option of app but is near one; "" when none is.
std::string UsageSuggestions(const CLI::App& app, int argc, const char* const* argv);
