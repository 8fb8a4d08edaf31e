#include "flash/Digest.h"

std::string Sha256Hex(std::string_view bytes)
{
    unsigned char digest[32];
    if (!Sha256Bytes(bytes, digest))
        return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}
