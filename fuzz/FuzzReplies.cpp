// The modem's answers: the identification cut, the answers to ATI5 and
// AT&&FFL, and the judging of acknowledgements. Whatever arrives, nothing is
// read outside it, and a refused line is never taken for an accepted one.

#include "app/LoaderApp.h"
#include "flash/ModemLink.h"

#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string_view text = bytes.substr(0, bytes.find('\0'));

    std::string identification = CLoaderApp::CutIdentification(text);
    if (identification.size() > text.size())
        std::abort();

    ModemInfo info;
    ModemLink::TypeAnswer answer = ModemLink::ParseTypeAnswer(text, info);
    if (answer == ModemLink::TypeAnswer::NoEcho && text.find("ATI5") != std::string_view::npos)
        std::abort();
    if (info.typeCode < 0 || info.typeCode > 5)
        std::abort();
    ModemLink::ParseLoaderAnswer(text, info);
    if (info.sectorSize != 0 && info.sectorSize != 16 && info.sectorSize != 64)
        std::abort();

    AckScan scan = ModemLink::ScanAck(bytes);
    if (scan.state == AckScan::Accepted) {
        // Accepted only on an "OK" line that no refusal came before.
        std::size_t ok = std::string_view::npos;
        std::size_t begin = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != '\r' && bytes[i] != '\n')
                continue;
            std::string_view line = bytes.substr(begin, i - begin);
            bool code = line.size() >= 4 && line.substr(0, 3) == "NOK" && line[3] >= '1' && line[3] <= '4';
            if (line == "NOK" || code)
                std::abort();
            if (line == "OK") {
                ok = begin;
                break;
            }
            begin = i + 1;
        }
        if (ok == std::string_view::npos)
            std::abort();
    }
    if (scan.state == AckScan::Refused && (scan.code < 1 || scan.code > 4))
        std::abort();
    return 0;
}
