#include "flash/Digest.h"

#include <nettle/sha2.h>

#include <cstdio>

bool FileSha256Bytes(const std::string& path, unsigned char (&digest)[32])
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    sha256_ctx context;
    sha256_init(&context);
    unsigned char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        sha256_update(&context, got, buffer);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return false;
    static_assert(SHA256_DIGEST_SIZE == sizeof digest);
    sha256_digest(&context, sizeof digest, digest);
    return true;
}
