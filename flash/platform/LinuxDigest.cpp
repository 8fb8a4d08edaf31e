#include "flash/Digest.h"

#include <nettle/sha2.h>

#include <cstdio>

std::string FileSha256(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return {};
    sha256_ctx context;
    sha256_init(&context);
    unsigned char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        sha256_update(&context, got, buffer);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return {};
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}
