#include "app/SettingsAdvice.h"

#include "app/MenuStart.h"
#include "app/ProductTexts.h"
#include "base/Paths.h"

namespace {

// A regular file that opens (read no further: an empty one is Ok, any
// other one too large for nothing).
bool IsFile(const std::string& path)
{
    if (path.empty())
        return false;
    FileContents::Result result = ReadRegularFile(path, 0).result;
    return result == FileContents::Ok || result == FileContents::TooLarge;
}

std::string LookedIn()
{
    std::string directory;
    if (!CurrentDirectory(directory))
        return std::string(kSettingsFileName) +
               " was looked for in the current directory, whose name the system cannot give (it may have been "
               "removed)";
    const char* which = StartPlace.fromMenu ? " (the desktop menu's start directory)" : " (the current directory)";
    return std::string(kSettingsFileName) + " was looked for in " + directory + which;
}

// The menu's start went to its directory, but what is there cannot be read.
std::string MenuDirectoryAdvice(const MenuStartPlaces& places)
{
    std::string text = LookedIn() + ": the " + kSettingsFileName + " there is no file that can be read. Remove it";
    if (IsFile(places.sample))
        return text + ", and the next start from the menu puts a copy of the installed sample " + places.sample +
               " in its place.\n";
    return text + " and put a readable " + kSettingsFileName + " there.\n";
}

std::string WizardAdvice(const MenuStartPlaces& places)
{
    std::string text = LookedIn() + ": start flashloader in the folder that holds " + kSettingsFileName;
    if (places.directory.empty())
        return text +
               (places.problem.empty() ? ".\n" : " (the desktop menu's start cannot help: " + places.problem + ")\n");
    text += ", or start it from the desktop menu (flashloader --from-menu), which uses " + places.directory;
    if (IsFile(places.sample))
        return text + " with a copy of the installed sample " + places.sample + ".\n";
    if (IsFile(JoinPath(places.directory, kSettingsFileName)))
        return text + ", where a " + kSettingsFileName + " is.\n";
    return text + ", once flashloader is installed with its sample " +
           (places.sample.empty() ? std::string(kSettingsFileName) : places.sample) + " (missing here).\n";
}

std::string CliAdvice(const MenuStartPlaces& places)
{
    std::string text = LookedIn() + ": run flashloader-cli in the folder that holds " + kSettingsFileName;
    if (IsFile(places.sample))
        text += ", or copy the installed sample " + places.sample + " there";
    text += ".";
    std::string menuCopy = places.directory.empty() ? std::string() : JoinPath(places.directory, kSettingsFileName);
    if (IsFile(menuCopy))
        text += " The wizard's start from the desktop menu keeps one in " + places.directory + ".";
    return text + "\n";
}

}  // namespace

std::string SettingsFileAdvice(SettingsReader reader)
{
    if (!StartPlace.problem.empty())
        return "The desktop menu's start (flashloader --from-menu) did not look for " + std::string(kSettingsFileName) +
               ": " + StartPlace.problem + "\n";
    MenuStartPlaces places = FindMenuStartPlaces();
    if (reader == SettingsReader::Cli)
        return CliAdvice(places);
    if (StartPlace.fromMenu && !StartPlace.menuDirectory.empty())
        return MenuDirectoryAdvice(places);
    return WizardAdvice(places);
}
