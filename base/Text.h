#pragma once
// Helpers for the fixed-size, zero-terminated text fields that the program's
// records and files carry.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// The text held in a fixed-size field: up to its first zero byte, and never
// past the field's end, even when a file supplied no terminator.
inline std::string_view FieldText(const char* field, std::size_t size)
{
    const void* zero = std::memchr(field, 0, size);
    return {field, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : size};
}

template <std::size_t N>
std::string_view FieldText(const char (&field)[N])
{
    return FieldText(field, N);
}

// Puts a value and its terminator into a field, as a string copy does: the
// bytes after the terminator keep what the field held before. A value that
// does not fit is refused, never cut, and the field is left untouched.
template <std::size_t N>
bool SetField(char (&field)[N], std::string_view value)
{
    if (value.size() > N - 1)
        return false;
    std::memcpy(field, value.data(), value.size());
    field[value.size()] = '\0';
    return true;
}

// At most maxBytes bytes of text. A cut never splits a UTF-8 sequence, so a
// cut name still shows as text and not as a replacement mark.
std::string CutText(std::string_view text, std::size_t maxBytes);

// Upper-cased copy: a to z become A to Z, every other byte stays.
std::string ToUpperAscii(std::string_view text);

// Lower-cased copy: A to Z become a to z, every other byte stays.
std::string ToLowerAscii(std::string_view text);
