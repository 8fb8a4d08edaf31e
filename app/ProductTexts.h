#pragma once
// The product texts of the About box, read once at start-up from the
// settings file "tarnix.ini" in the start directory.

#include "app/SettingsAdvice.h"

#include <cstddef>
#include <string>

class MessageUi;

struct ProductTextsRecord {
    std::string ProductName;
    std::string VersionString;
    std::string CompanyName;
    std::string CompanySlogen;
};

// Holder sizes, terminator included: a longer value is cut to one less.
inline constexpr std::size_t kProductNameSize = 40;
inline constexpr std::size_t kVersionStringSize = 10;
inline constexpr std::size_t kCompanyNameSize = 40;
inline constexpr std::size_t kCompanySlogenSize = 40;

inline constexpr char kSettingsFileName[] = "tarnix.ini";

extern ProductTextsRecord ProductTexts;

// Reads the four texts from "tarnix.ini" in the current directory and
// records the start directory. When the file cannot be read, or a start
// from the menu could not go to its own directory, shows the "File Open
// Error" box, says on standard error where the file was looked for and how
// to mend it (in the words for reader), and returns false; nothing else is
// changed then.
bool LoadProductTexts(MessageUi& ui, SettingsReader reader = SettingsReader::Wizard);
