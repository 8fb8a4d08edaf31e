#pragma once
// The Windows resource script (.rc) of the program: its dialog templates,
// written from the same tables that the other windows are built from, and
// its pictures, rendered by the build into files that the script names.
// windres (or rc) compiles it into the Windows programs.

#include "resources/DialogTemplates.h"

#include <ostream>
#include <span>
#include <string>

enum class PictureType { Bitmap, Icon };

struct PictureResource {
    const char* name;  // a number (digits only: a numeric id) or a word (letters, digits, _)
    PictureType type;
    const char* file;  // the rendered picture, in the picture folder
};

// The program's pictures, under the names the templates and the windows use.
std::span<const PictureResource> ProgramPictures();

struct ResourceFiles {
    std::string pictureFolder;  // where the rendered pictures lie; "/" between names
    std::string manifest;       // the application manifest; empty for none
};

// Writes the script: one DIALOGEX per template with the controls in table
// order, then one BITMAP or ICON line per picture, then the manifest.
// Writes nothing and returns false when a picture's name is neither a
// number nor a word, which the script could not name reliably.
bool WriteResourceScript(std::ostream& out, std::span<const DialogTemplate> dialogs,
                         std::span<const PictureResource> pictures, const ResourceFiles& files);
