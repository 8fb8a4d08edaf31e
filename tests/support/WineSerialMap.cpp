#include "tests/support/WineSerialMap.h"

ProcessResult AddToWineSerialMap(const std::string& port)
{
    const std::string value = "FlashLoaderTest" + port.substr(port.find_first_of("0123456789"));
    return RunProcess("/usr/bin/wine",
                      {"reg", "add", "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", "/v", value, "/d", port, "/f"}, {},
                      {"WINEDEBUG=-all"});
}
