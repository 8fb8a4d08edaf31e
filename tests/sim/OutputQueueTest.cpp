// How the simulated modem's replies are held back, cut up and paced.

#include "sim/OutputQueue.h"

#include <gtest/gtest.h>

using std::chrono::milliseconds;

namespace {

const SimTime t0{milliseconds(1000)};

TEST(ModemSimOutputQueue, HoldsRepliesUntilDueAndKeepsTheirOrder)
{
    OutputQueue queue;
    queue.Push(t0 + milliseconds(50), "first");
    queue.Push(t0, "second");  // due earlier, but queued after
    EXPECT_EQ(queue.Due(t0), "");
    EXPECT_EQ(queue.NextDue(), t0 + milliseconds(50));
    EXPECT_EQ(queue.Due(t0 + milliseconds(50)), "first");
    queue.Written(2, t0 + milliseconds(50));  // the master took part of it
    EXPECT_EQ(queue.Due(t0 + milliseconds(50)), "rst");
    queue.Written(3, t0 + milliseconds(50));
    EXPECT_EQ(queue.Due(t0 + milliseconds(50)), "second");
    queue.Written(6, t0 + milliseconds(50));
    EXPECT_TRUE(queue.Empty());
    EXPECT_FALSE(queue.NextDue().has_value());
}

// An adapter's latency timer: a reply waits for the timer's next tick, and
// one made on a tick goes at once.
TEST(ModemSimOutputQueue, HoldsRepliesUntilTheAdaptersTimerTicks)
{
    OutputShaping shaping;
    shaping.latencyTimer = milliseconds(16);
    OutputQueue queue(shaping);
    const SimTime tick{milliseconds(16 * 100)};
    queue.Push(tick + milliseconds(3), "late");
    EXPECT_EQ(queue.NextDue(), tick + milliseconds(16));
    EXPECT_EQ(queue.Due(tick + milliseconds(15)), "");
    EXPECT_EQ(queue.Due(tick + milliseconds(16)), "late");
    queue.Written(4, tick + milliseconds(16));
    queue.Push(tick + milliseconds(32), "on time");
    EXPECT_EQ(queue.Due(tick + milliseconds(32)), "on time");
}

TEST(ModemSimOutputQueue, ChunksRepliesWithGaps)
{
    OutputQueue queue({3, milliseconds(2), 0});
    queue.Push(t0, "ABCDEFG");
    queue.Push(t0, "HI");
    EXPECT_EQ(queue.Due(t0), "ABC");
    queue.Written(3, t0);
    EXPECT_EQ(queue.Due(t0 + milliseconds(1)), "");
    EXPECT_EQ(queue.NextDue(), t0 + milliseconds(2));
    EXPECT_EQ(queue.Due(t0 + milliseconds(2)), "DEF");
    queue.Written(1, t0 + milliseconds(2));
    EXPECT_EQ(queue.Due(t0 + milliseconds(2)), "EF");  // the rest of a piece: no new gap
    queue.Written(2, t0 + milliseconds(2));
    EXPECT_EQ(queue.Due(t0 + milliseconds(4)), "G");
    queue.Written(1, t0 + milliseconds(4));
    EXPECT_EQ(queue.Due(t0 + milliseconds(4)), "HI");  // a new reply starts at once
    EXPECT_EQ(queue.PendingBytes(), 2u);
}

TEST(ModemSimOutputQueue, PacesBytesAtTheBaudRate)
{
    OutputQueue queue({0, milliseconds(2), 1000});  // 10 ms a character
    // A reply is there once its last byte has crossed the line, and not
    // byte by byte: as a UART's FIFO hands bytes on.
    queue.Push(t0, "HELLO");
    EXPECT_EQ(queue.Due(t0 + milliseconds(10)), "");
    EXPECT_EQ(queue.NextDue(), t0 + milliseconds(50));
    EXPECT_EQ(queue.Due(t0 + milliseconds(49)), "");
    EXPECT_EQ(queue.Due(t0 + milliseconds(50)), "HELLO");
    queue.Written(2, t0 + milliseconds(50));             // the terminal took two
    EXPECT_EQ(queue.Due(t0 + milliseconds(50)), "LLO");  // crossed already: no new wait
    queue.Written(3, t0 + milliseconds(50));
    // A long reply a FIFO's worth at a time; late, what has crossed goes
    // together.
    const std::string longer(20, 'x');
    queue.Push(t0 + milliseconds(100), longer);
    EXPECT_EQ(queue.NextDue(), t0 + milliseconds(260));
    EXPECT_EQ(queue.Due(t0 + milliseconds(259)), "");
    EXPECT_EQ(queue.Due(t0 + milliseconds(260)), std::string(16, 'x'));
    queue.Written(16, t0 + milliseconds(260));
    EXPECT_EQ(queue.NextDue(), t0 + milliseconds(300));
    EXPECT_EQ(queue.Due(t0 + milliseconds(400)), "xxxx");
    queue.Written(4, t0 + milliseconds(400));
    // After a quiet spell the line is free at once, with no credit saved up.
    queue.Push(t0 + milliseconds(500), "AB");
    EXPECT_EQ(queue.Due(t0 + milliseconds(510)), "");
    EXPECT_EQ(queue.Due(t0 + milliseconds(520)), "AB");
}

}  // namespace
