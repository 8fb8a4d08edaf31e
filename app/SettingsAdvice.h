#pragma once
// What is said on standard error, beside the settings step's own box, when
// tarnix.ini cannot be read: where it was looked for and how to mend that.

#include <string>

// The program that looked: the wizard, or the command line's "about".
enum class SettingsReader { Wizard, Cli };

// The text, one paragraph ending in a line end.
std::string SettingsFileAdvice(SettingsReader reader);
