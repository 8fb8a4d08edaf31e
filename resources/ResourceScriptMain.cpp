// flresourcescript: writes the resource script of the Windows programs.
//   flresourcescript OUTPUT.rc PICTURE_FOLDER [MANIFEST]
// Runs on the build machine, during the Windows build.

#include "resources/ResourceScript.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT.rc PICTURE_FOLDER [MANIFEST]\n", argv[0]);
        return 2;
    }
    ResourceFiles files{argv[2], argc == 4 ? argv[3] : ""};
    std::ostringstream script;
    if (!WriteResourceScript(script, AllDialogTemplates(), ProgramPictures(), files)) {
        std::fprintf(stderr, "%s: a picture's name is neither a number nor a word\n", argv[0]);
        return 1;
    }

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << script.str();
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
