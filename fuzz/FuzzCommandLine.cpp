// The command line: any text gives a run mode, and a selection taken from
// it fits its fields whole (a longer token is refused, never cut).

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/LastSelection.h"
#include "base/Text.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (text.find('\0') != std::string_view::npos)
        return 0;  // a program's arguments never hold a zero byte
    ResetProgramState();
    CommandLineOutcome outcome = ClassifyCommandLine(text);
    bool dev = ToUpperAscii(text).find("DEV") != std::string::npos;
    if (dev != (outcome.mode == RunMode::Developer) || dev != DeveloperMode)
        std::abort();
    if (outcome.mode == RunMode::PreSelected) {
        if (UseLastSelection || !outcome.refusal.empty())
            std::abort();
        std::string_view port = FieldText(FlashSelection.PortName);
        if (port.empty() || port.size() > kMaxPortNameLength || text.find(port) == std::string_view::npos)
            std::abort();
    }
    return 0;
}
