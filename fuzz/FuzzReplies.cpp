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

    for (std::string_view okText : {kImageAck, kLineAck}) {
        AckScan scan = ModemLink::ScanAck(bytes, okText);
        std::size_t refusal = bytes.find("NOK");
        // An acceptance needs an answer without any refusal, and an okText
        // in it that is not the rest of a cut "NOKn" at its very start.
        bool acceptable = false;
        if (refusal == std::string_view::npos) {
            for (std::size_t at = bytes.find(okText); at != std::string_view::npos; at = bytes.find(okText, at + 1)) {
                std::size_t after = at + okText.size();
                if (at == 0 && after < bytes.size() && bytes[after] >= '1' && bytes[after] <= '4')
                    continue;
                acceptable = true;
                break;
            }
        }
        if ((scan.state == AckScan::Accepted) != acceptable)
            std::abort();
        if (scan.state == AckScan::Refused) {
            if (scan.code < 1 || scan.code > 4 || refusal == std::string_view::npos)
                std::abort();
            char code[5] = {'N', 'O', 'K', static_cast<char>('0' + scan.code), '\0'};
            if (bytes.find(code) == std::string_view::npos)
                std::abort();
        } else if (scan.state == AckScan::RefusedAwaitingCode && refusal == std::string_view::npos) {
            std::abort();
        } else if (scan.state == AckScan::Open && refusal != std::string_view::npos) {
            std::abort();
        }
    }
    return 0;
}
