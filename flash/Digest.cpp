#include "flash/Digest.h"

std::string FileSha256(const std::string& path)
{
    unsigned char digest[32];
    if (!FileSha256Bytes(path, digest))
        return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}
