#include "app/ProductTexts.h"

#include "app/AppState.h"
#include "app/MenuStart.h"
#include "base/Paths.h"
#include "base/UserInterface.h"
#include "app/platform/SettingsFile.h"

#include <cstdio>

ProductTextsRecord ProductTexts;

bool LoadProductTexts(MessageUi& ui, SettingsReader reader)
{
    SettingsFile settings;
    // A menu's start whose own directory could not be used reads no
    // settings file at all: one found in whatever directory the menu ran
    // the program in would be the wrong one.
    if (!StartPlace.problem.empty() || !settings.Open(kSettingsFileName)) {
        char text[64];
        std::snprintf(text, sizeof text, "Couldn't open file %s", kSettingsFileName);
        // A FIFO or a folder of that name is said to be one, so that the
        // person does not look for a missing file.
        std::string message = text;
        if (!settings.NotAFile().empty())
            message += ": it is " + settings.NotAFile() + ", not a file";
        // The box keeps its words; where the file was looked for, and what
        // to do, goes to standard error: for the windows while the box
        // stands, on the terminal after the box's own line.
        std::string advice = SettingsFileAdvice(reader);
        if (reader == SettingsReader::Wizard)
            std::fputs(advice.c_str(), stderr);
        ui.ShowMessage("File Open Error", message, MsgIcon::Stop);
        if (reader == SettingsReader::Cli)
            std::fputs(advice.c_str(), stderr);
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
