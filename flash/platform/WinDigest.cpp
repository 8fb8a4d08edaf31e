#include "flash/Digest.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstdio>

// The system's own hash provider.
bool FileSha256Bytes(const std::string& path, unsigned char (&digest)[32])
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
              BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    unsigned char buffer[65536];
    std::size_t got = 0;
    while (ok && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        ok = BCryptHashData(hash, buffer, static_cast<ULONG>(got), 0) == 0;
    ok = ok && std::ferror(file) == 0;
    std::fclose(file);
    ok = ok && BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash != nullptr)
        BCryptDestroyHash(hash);
    if (algorithm != nullptr)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok;
}
