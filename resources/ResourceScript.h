#pragma once
// The Windows resource script (.rc) of the program: its dialog templates,
// written from the same tables that the other windows are built from, and
// its pictures, rendered by the build into files that the script names.
// windres (or rc) compiles it into the Windows programs.

#include "resources/DialogTemplates.h"

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class PictureType { Bitmap, Icon };

struct PictureResource {
    const char* name;  // a number (digits only: a numeric id) or a word (letters, digits, _)
    PictureType type;
    const char* file;  // the rendered picture, in the picture folder
};

// The program's pictures, under the names the templates and the windows use.
std::span<const PictureResource> ProgramPictures();

// A line of pictures/bitmaps.txt: a bitmap resource rendered from a
// drawing at one size.
struct BitmapLine {
    std::string name;     // as PictureResource::name
    std::string drawing;  // the drawing's file name without ".svg"
    int width = 0, height = 0;
};
// The bitmaps of the list, comment lines ('#') and blank lines skipped;
// false for a line that is not a bare name, a word and two sizes.
bool ReadBitmapList(std::string_view text, std::vector<BitmapLine>& bitmaps);
// The rendered file's name, as the build renders it: "wizard-87x214.bmp".
std::string BitmapFileName(const BitmapLine& bitmap);

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

// The Windows programs whose scripts the writer makes, each under the name
// of its .exe without the ending.
struct ProgramResources {
    const char* name;         // "flashloader"
    const char* description;  // what the file's properties call the program
    bool windows;             // the dialog templates and every picture; else the application icon only
};
std::span<const ProgramResources> WindowsPrograms();
// The program of that name; nullptr for none.
const ProgramResources* FindWindowsProgram(std::string_view name);

// A version as the file properties number it: "5.0.0" is 5,0,0.
struct VersionNumber {
    unsigned major = 0, minor = 0, patch = 0;
};
// Three decimal numbers of 0 to 65535 joined by dots; false for anything else.
bool ParseVersion(std::string_view text, VersionNumber& version);

// The line of a licence text that says whose it is ("Copyright (c) ...");
// empty when there is none.
std::string CopyrightLine(std::string_view licence);

// What the file properties of one program say: its version, its product,
// its name and file name, and whose it is.
struct VersionResource {
    const ProgramResources* program = nullptr;
    std::string version;  // as ParseVersion takes it
    std::string copyright;
};

// Writes the VERSIONINFO statement. Writes nothing and returns false when
// the version is not three numbers or the program is missing.
bool WriteVersionResource(std::ostream& out, const VersionResource& resource);
