#pragma once
// What the modem sent back, collected by WaitForReply: the received bytes in
// order, unchanged. Searches look at the text up to the first zero byte, as
// the modem's answers are text and a zero byte cannot be part of one.

#include <cstddef>
#include <string>
#include <string_view>

class ReplyBuffer {
public:
    void Clear() { m_bytes.clear(); }
    void Append(const char* bytes, std::size_t count) { m_bytes.append(bytes, count); }

    // Every byte received, zero bytes included.
    const std::string& Bytes() const { return m_bytes; }
    // The text: the bytes up to the first zero byte.
    std::string_view Text() const { return std::string_view(m_bytes.c_str()); }
    bool Contains(std::string_view text) const { return Text().find(text) != std::string_view::npos; }

private:
    std::string m_bytes;
};
