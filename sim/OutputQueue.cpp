#include "sim/OutputQueue.h"

#include <algorithm>

OutputQueue::OutputQueue(OutputShaping shaping) : m_shaping(shaping), m_byteTime(CharacterTime(shaping.paceBaud)) {}

void OutputQueue::Push(SimTime notBefore, std::string_view bytes)
{
    if (bytes.empty())
        return;
    if (m_shaping.latencyTimer > SimDuration::zero()) {
        const SimDuration since = notBefore.time_since_epoch();
        const auto ticks = (since + m_shaping.latencyTimer - SimDuration(1)) / m_shaping.latencyTimer;
        notBefore = SimTime(ticks * m_shaping.latencyTimer);
    }
    if (m_shaping.chunk == 0) {
        m_pieces.push_back({std::string(bytes), 0, notBefore, false});
        return;
    }
    for (std::size_t offset = 0; offset < bytes.size(); offset += m_shaping.chunk)
        m_pieces.push_back({std::string(bytes.substr(offset, m_shaping.chunk)), 0, notBefore, offset != 0});
}

SimTime OutputQueue::ReadyTime(const Piece& piece) const
{
    SimTime ready = piece.notBefore;
    // The gap separates the pieces of one reply; a piece that went out only
    // partly continues without a new gap.
    if (piece.afterGap && piece.sent == 0 && m_lastWrite)
        ready = std::max(ready, *m_lastWrite + m_shaping.chunkGap);
    if (m_byteTime > SimDuration::zero())
        ready = std::max(ready, m_nextByte);
    return ready;
}

std::string_view OutputQueue::Due(SimTime now) const
{
    if (m_pieces.empty())
        return {};
    const Piece& piece = m_pieces.front();
    SimTime ready = ReadyTime(piece);
    if (now < ready)
        return {};
    std::string_view rest = std::string_view(piece.bytes).substr(piece.sent);
    if (m_byteTime > SimDuration::zero()) {
        // Bytes whose last bit has gone out on the line, the first one a
        // character's time after the line became free for it (handing a
        // byte over as it starts would make the line faster than its baud
        // rate); and, as a UART's receive FIFO hands them on, a FIFO's worth
        // or the rest of the piece at a time, not byte by byte.
        auto complete = static_cast<std::size_t>((now - ready) / m_byteTime);
        if (complete < std::min(rest.size(), kFifoBytes))
            return {};
        rest = rest.substr(0, std::min(rest.size(), complete));
    }
    return rest;
}

void OutputQueue::Written(std::size_t count, SimTime now)
{
    if (m_pieces.empty() || count == 0)
        return;
    Piece& piece = m_pieces.front();
    SimTime ready = ReadyTime(piece);
    count = std::min(count, piece.bytes.size() - piece.sent);
    if (m_byteTime > SimDuration::zero())
        m_nextByte = ready + m_byteTime * static_cast<SimDuration::rep>(count);
    piece.sent += count;
    m_lastWrite = now;
    if (piece.sent == piece.bytes.size())
        m_pieces.pop_front();
}

std::optional<SimTime> OutputQueue::NextDue() const
{
    if (m_pieces.empty())
        return std::nullopt;
    const Piece& piece = m_pieces.front();
    const auto batch = std::min(piece.bytes.size() - piece.sent, kFifoBytes);
    return ReadyTime(piece) + m_byteTime * static_cast<SimDuration::rep>(batch);
}

std::size_t OutputQueue::PendingBytes() const
{
    std::size_t total = 0;
    for (const Piece& piece : m_pieces)
        total += piece.bytes.size() - piece.sent;
    return total;
}
