#include "app/ProductTexts.h"

#include "app/AppState.h"
#include "app/Paths.h"
#include "app/ProfileReader.h"
#include "app/UserInterface.h"

#include <cstdio>
#include <sys/stat.h>

ProductTextsRecord ProductTexts;

namespace {

// Opens the settings file for reading; a directory of that name is no file.
std::FILE* OpenSettingsFile()
{
    std::FILE* file = std::fopen(kSettingsFileName, "rb");
    if (file == nullptr)
        return nullptr;
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

} // namespace

bool LoadProductTexts(MessageUi& ui)
{
    ProfileReader profile;
    std::FILE* file = OpenSettingsFile();
    bool read = file != nullptr && profile.Load(file);
    if (file != nullptr)
        std::fclose(file);
    if (!read) {
        char text[64];
        std::snprintf(text, sizeof text, "Couldn't open file %s", kSettingsFileName);
        ui.ShowMessage("File Open Error", text, MsgIcon::Stop);
        return false;
    }

    if (!CurrentDirectory(StartDirectory))
        StartDirectory.clear();

    ProductTexts.CompanyName = profile.GetString("AboutBox", "CompanyName", "<none>", kCompanyNameSize);
    ProductTexts.CompanySlogen = profile.GetString("AboutBox", "CompanySlogen", "<none>", kCompanySlogenSize);
    ProductTexts.ProductName = profile.GetString("Version", "ProductName", "Flash Loader", kProductNameSize);
    ProductTexts.VersionString = profile.GetString("Version", "VersionString", "5.x.x", kVersionStringSize);
    return true;
}
