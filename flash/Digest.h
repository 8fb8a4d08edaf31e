#pragma once
// The SHA-256 of an image, for the records a bench keeps of every unit it
// flashed: which image exactly went into it.

#include <string>
#include <string_view>

// 64 lower-case hex digits of the bytes' digest; empty when the system's
// hash provider fails.
std::string Sha256Hex(std::string_view bytes);

// The platform's part: the 32 bytes of the digest.
bool Sha256Bytes(std::string_view bytes, unsigned char (&digest)[32]);
