#pragma once
// The desktop menu's start of the wizard ("--from-menu"). The menu runs the
// program in whatever directory it likes ($HOME, /), where no settings file
// lies; such a start goes to a directory of the user's own instead, which is
// the start directory from then on: $XDG_DATA_HOME/flashloader, seeded with
// a copy of the sample tarnix.ini installed with the program when it has
// none. (On Windows the installer's shortcut names the start folder itself:
// nothing is prepared there.)

#include <string>
#include <string_view>

// How the start directory came to be the current one: what is said when the
// settings file is not there depends on it.
struct StartPlaceRecord {
    bool fromMenu = false;      // the start came from the desktop menu
    std::string menuDirectory;  // the per-user directory tried; empty when none could be named
    std::string problem;        // why it is not the current directory; empty when it is
};

extern StartPlaceRecord StartPlace;

// The per-user start directory, and the sample to seed it with.
struct MenuStartPlaces {
    std::string directory;  // empty when no home directory is known
    std::string sample;     // empty when the program cannot tell where it lies
    std::string problem;    // why directory is empty
};

// The XDG base directory rule for the user's data: xdgDataHome when it is
// an absolute path, else home's .local/share; home when it is an absolute
// path, else accountHome (the account's home in the user database). Either
// may be null (unset). "flashloader" below it; empty without any home.
std::string MenuStartDirectory(const char* xdgDataHome, const char* home, std::string_view accountHome);

// The sample that an installation puts beside the program: <prefix>/bin/x
// gives <prefix>/share/flashloader/tarnix.ini.
std::string SampleBesideProgram(std::string_view programPath);

// The places for this process: its environment, its account and the path of
// the running program (never the source or build tree's sample).
MenuStartPlaces FindMenuStartPlaces();

// Makes directory and its missing parents (only the owner may use new ones),
// refuses it when it is no directory or when another user owns it or may
// write to it, copies sample into it as tarnix.ini when it has none (never
// through a link, never over a file that is there, never half), and makes it
// the current directory. False with what went wrong and how to mend it in
// problem; the current directory is left as it was then.
bool EnterMenuStartDirectory(const std::string& directory, const std::string& sample, std::string& problem);

// All of the menu's start, recorded in StartPlace.
void StartFromMenu();
