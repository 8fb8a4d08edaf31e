#pragma once
// What the simulated modem has still to send, and when each byte may go.
//
// Replies are queued in order with a "not before" time. The queue also shapes
// the output the way a slow or awkward line would: in pieces of a fixed size
// with a gap between them (so that a reader sees replies arrive in
// fragments), and at the pace of a given baud rate. It never sleeps; the
// event loop asks what is due now and when the next byte becomes due.

#include "sim/SimClock.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

struct OutputShaping {
    std::size_t chunk = 0;  // bytes per piece; 0 sends each reply in one piece
    SimDuration chunkGap = std::chrono::milliseconds(2);
    int paceBaud = 0;  // 0: as fast as the pseudo-terminal takes it
    // A USB serial adapter holds what it received until its latency timer
    // runs out (16 ms on common chips unless the driver asks for less):
    // a reply goes out no sooner than the timer's next tick. 0: no timer.
    SimDuration latencyTimer{0};
};

class OutputQueue {
public:
    // What a UART's receive FIFO holds before it hands its bytes on.
    static constexpr std::size_t kFifoBytes = 16;

    explicit OutputQueue(OutputShaping shaping = {});

    // Queues bytes to go out not before the given time, and after everything
    // queued earlier.
    void Push(SimTime notBefore, std::string_view bytes);

    // The bytes that may be written now, meant for a single write; empty when
    // nothing is due.
    std::string_view Due(SimTime now) const;

    // Takes note that the first count bytes of what Due returned went out.
    void Written(std::size_t count, SimTime now);

    // When the next byte becomes due (possibly already past); none when empty.
    // With pacing, bytes are due once they have wholly crossed the line, a
    // FIFO's worth (kFifoBytes) or the rest of a piece at a time.
    std::optional<SimTime> NextDue() const;

    bool Empty() const { return m_pieces.empty(); }
    std::size_t PendingBytes() const;
    void Clear() { m_pieces.clear(); }

private:
    struct Piece {
        std::string bytes;
        std::size_t sent = 0;
        SimTime notBefore;
        bool afterGap = false;  // a later piece of a chunked reply
    };

    SimTime ReadyTime(const Piece& piece) const;

    OutputShaping m_shaping;
    SimDuration m_byteTime{0};
    std::deque<Piece> m_pieces;
    std::optional<SimTime> m_lastWrite;
    SimTime m_nextByte{};  // with pacing: when the line is free for the next byte
};
