// On Windows the installer's shortcut names the start folder itself: a start
// from the menu is a plain start, and nothing is prepared for it.

#include "app/MenuStart.h"

MenuStartPlaces FindMenuStartPlaces() { return {}; }

bool EnterMenuStartDirectory(const std::string& /*directory*/, const std::string& /*sample*/, std::string& /*problem*/)
{
    return true;
}
