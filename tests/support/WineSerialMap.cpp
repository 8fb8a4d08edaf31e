#include "tests/support/WineSerialMap.h"

namespace {

std::string ValueName(const std::string& port)
{
    return "FlashLoaderTest" + port.substr(port.find_first_of("0123456789"));
}

}  // namespace

ProcessResult RemoveFromWineSerialMap(const std::string& port)
{
    return RunProcess("/usr/bin/wine",
                      {"reg", "delete", "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "/v", ValueName(port), "/f"}, {},
                      {"WINEDEBUG=-all"});
}

ProcessResult AddToWineSerialMap(const std::string& port)
{
    const std::string value = ValueName(port);
    return RunProcess("/usr/bin/wine",
                      {"reg", "add", "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "/v", value, "/d", port, "/f"}, {},
                      {"WINEDEBUG=-all"});
}
