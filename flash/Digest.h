#pragma once
// The SHA-256 of a file, for the records a bench keeps of every unit it
// flashed: which image exactly went into it.

#include <string>

// 64 lower-case hex digits; empty when the file cannot be read whole.
std::string FileSha256(const std::string& path);

// The platform's part: the 32 bytes of the digest; false when the file
// cannot be read whole.
bool FileSha256Bytes(const std::string& path, unsigned char (&digest)[32]);
