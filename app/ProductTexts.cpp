#include "app/ProductTexts.h"

#include "app/AppState.h"
#include "base/Paths.h"
#include "base/UserInterface.h"
#include "app/platform/SettingsFile.h"

#include <cstdio>

ProductTextsRecord ProductTexts;

bool LoadProductTexts(MessageUi& ui)
{
    SettingsFile settings;
    if (!settings.Open(kSettingsFileName)) {
        char text[64];
        std::snprintf(text, sizeof text, "Couldn't open file %s", kSettingsFileName);
        // A FIFO or a folder of that name is said to be one, so that the
        // person does not look for a missing file.
        std::string message = text;
        if (!settings.NotAFile().empty())
            message += ": it is " + settings.NotAFile() + ", not a file";
        ui.ShowMessage("File Open Error", message, MsgIcon::Stop);
        return false;
    }

    // Kept whole, however long: a cut name would lead the store of the last
    // selection and the loader file into another directory.
    if (!CurrentDirectory(StartDirectory))
        StartDirectory.clear();

    ProductTexts.CompanyName = settings.GetString("AboutBox", "CompanyName", "<none>", kCompanyNameSize);
    ProductTexts.CompanySlogen = settings.GetString("AboutBox", "CompanySlogen", "<none>", kCompanySlogenSize);
    ProductTexts.ProductName = settings.GetString("Version", "ProductName", "Flash Loader", kProductNameSize);
    ProductTexts.VersionString = settings.GetString("Version", "VersionString", "5.x.x", kVersionStringSize);
    settings.Close();
    return true;
}
