#include "app/MenuStart.h"

#include "app/ProductTexts.h"

StartPlaceRecord StartPlace;

namespace {

bool Absolute(const char* path) { return path != nullptr && path[0] == '/'; }

}  // namespace

std::string MenuStartDirectory(const char* xdgDataHome, const char* home, std::string_view accountHome)
{
    // A relative XDG_DATA_HOME is invalid by the base directory rules and
    // is ignored, as an unset one is.
    std::string base;
    const char* below = "";
    if (Absolute(xdgDataHome)) {
        base = xdgDataHome;
    } else if (Absolute(home)) {
        base = home;
        below = "/.local/share";
    } else if (!accountHome.empty() && accountHome.front() == '/') {
        base = accountHome;
        below = "/.local/share";
    } else {
        return {};
    }
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + below + "/flashloader";
}

std::string SampleBesideProgram(std::string_view programPath)
{
    std::string_view::size_type slash = programPath.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    std::string_view bin = programPath.substr(0, slash);
    std::string_view::size_type up = bin.rfind('/');
    if (up == std::string_view::npos)
        return {};
    return std::string(bin.substr(0, up + 1)) + "share/flashloader/" + kSettingsFileName;
}

void StartFromMenu()
{
    StartPlace = StartPlaceRecord{};
    StartPlace.fromMenu = true;
    MenuStartPlaces places = FindMenuStartPlaces();
    StartPlace.menuDirectory = places.directory;
    if (!places.problem.empty()) {
        StartPlace.problem = places.problem;
        return;
    }
    EnterMenuStartDirectory(places.directory, places.sample, StartPlace.problem);
}
