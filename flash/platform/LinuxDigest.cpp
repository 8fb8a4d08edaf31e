#include "flash/Digest.h"

#include <nettle/sha2.h>

#include <cstdint>

bool Sha256Bytes(std::string_view bytes, unsigned char (&digest)[32])
{
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    static_assert(SHA256_DIGEST_SIZE == sizeof digest);
    sha256_digest(&context, sizeof digest, digest);
    return true;
}
