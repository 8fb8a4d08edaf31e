// flresourcescript: writes the resource script of one Windows program.
//   flresourcescript PROGRAM VERSION LICENSE OUTPUT.rc PICTURE_FOLDER BITMAPS [MANIFEST]
// PROGRAM is flashloader or flashloader-cli, VERSION the project's ("5.0.0"),
// LICENSE the licence whose copyright line the file properties show,
// BITMAPS the list of the wizard's bitmaps (pictures/bitmaps.txt). Runs on
// the build machine, during the Windows build.

#include "resources/ResourceScript.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 7 && argc != 8) {
        std::fprintf(stderr, "usage: %s PROGRAM VERSION LICENSE OUTPUT.rc PICTURE_FOLDER BITMAPS [MANIFEST]\n",
                     argv[0]);
        return 2;
    }
    const ProgramResources* program = FindWindowsProgram(argv[1]);
    if (program == nullptr) {
        std::fprintf(stderr, "%s: %s is none of the Windows programs\n", argv[0], argv[1]);
        return 2;
    }
    std::ifstream licenceFile(argv[3], std::ios::binary);
    std::ostringstream licence;
    licence << licenceFile.rdbuf();
    const std::string copyright = CopyrightLine(licence.str());
    if (copyright.empty()) {
        std::fprintf(stderr, "%s: %s holds no copyright line\n", argv[0], argv[3]);
        return 1;
    }

    // The wizard has its windows and every picture; another program the
    // application icon alone, so that the system shows it the same way.
    std::span<const DialogTemplate> dialogs;
    std::vector<PictureResource> pictures;
    std::ifstream bitmapFile(argv[6], std::ios::binary);
    std::ostringstream bitmapText;
    bitmapText << bitmapFile.rdbuf();
    std::vector<BitmapLine> bitmaps;
    if (!bitmapFile || !ReadBitmapList(bitmapText.str(), bitmaps)) {
        std::fprintf(stderr, "%s: %s is not a list of NAME DRAWING WIDTH HEIGHT lines\n", argv[0], argv[6]);
        return 1;
    }
    std::vector<std::string> bitmapFiles;
    bitmapFiles.reserve(bitmaps.size());
    if (program->windows) {
        for (const BitmapLine& bitmap : bitmaps) {
            bitmapFiles.push_back(BitmapFileName(bitmap));
            pictures.push_back({bitmap.name.c_str(), PictureType::Bitmap, bitmapFiles.back().c_str()});
        }
    }
    for (const PictureResource& picture : ProgramPictures())
        if (program->windows || std::string_view(picture.name) == kIconApplication)
            pictures.push_back(picture);
    if (program->windows)
        dialogs = AllDialogTemplates();

    ResourceFiles files{argv[5], argc == 8 ? argv[7] : ""};
    std::ostringstream script;
    if (!WriteResourceScript(script, dialogs, pictures, files)) {
        std::fprintf(stderr, "%s: a picture's name is neither a number nor a word\n", argv[0]);
        return 1;
    }
    if (!WriteVersionResource(script, {program, argv[2], copyright})) {
        std::fprintf(stderr, "%s: the version %s is not three numbers of 0 to 65535 (5.0.0)\n", argv[0], argv[2]);
        return 1;
    }

    std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
    out << script.str();
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[4]);
        std::remove(argv[4]);
        return 1;
    }
    return 0;
}
