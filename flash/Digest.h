#pragma once
// The SHA-256 of a file, for the records a bench keeps of every unit it
// flashed: which image exactly went into it.

#include <string>

// 64 lower-case hex digits; empty when the file cannot be read whole.
std::string FileSha256(const std::string& path);
