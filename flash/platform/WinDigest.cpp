#include "flash/Digest.h"

#include <windows.h>

#include <bcrypt.h>

// The system's own hash provider.
bool Sha256Bytes(std::string_view bytes, unsigned char (&digest)[32])
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
              BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    // The hash takes at most 4 GiB a call; an image is far smaller, but the
    // loop costs nothing.
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (ok && left > 0) {
        ULONG chunk = left > 0x40000000u ? 0x40000000u : static_cast<ULONG>(left);
        ok = BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data)), chunk, 0) == 0;
        data += chunk;
        left -= chunk;
    }
    ok = ok && BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash != nullptr)
        BCryptDestroyHash(hash);
    if (algorithm != nullptr)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    return ok;
}
