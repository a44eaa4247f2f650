// When the I/O thread looks at a draining transmit queue again, on explicit times and counts.
#include "platform/posix/TransmitDrain.h"

#include <gtest/gtest.h>

namespace {

using Nanos = TransmitDrain::Nanos;
constexpr Nanos Ms = 1000000;
constexpr Nanos At = 1000 * Ms;

TEST(TransmitDrain, TheNextLookFollowsTheLineTimeWithin1To10Ms)
{
    TransmitDrain drain;
    EXPECT_FALSE(drain.stillDraining(0, 9600, At));
    EXPECT_EQ(drain.nextLook(), TransmitDrain::Never);
    // 40 characters at 115200 bit/s leave in 3.47 ms.
    EXPECT_TRUE(drain.stillDraining(40, 115200, At));
    EXPECT_EQ(drain.nextLook(), At + 3472222);
    EXPECT_TRUE(drain.stillDraining(1, 115200, At));
    EXPECT_EQ(drain.nextLook(), At + 1 * Ms);
    // A line whose speed was never set is taken as 9600 bit/s: 2 characters take 2.08 ms.
    EXPECT_TRUE(drain.stillDraining(2, 0, At));
    EXPECT_EQ(drain.nextLook(), At + 2083333);
    EXPECT_TRUE(drain.stillDraining(4000, 9600, At));
    EXPECT_EQ(drain.nextLook(), At + 10 * Ms);

    EXPECT_FALSE(drain.lookDue(At + 10 * Ms - 1));
    EXPECT_TRUE(drain.lookDue(At + 10 * Ms));
    EXPECT_FALSE(drain.draining());
    EXPECT_FALSE(drain.lookDue(At + 20 * Ms)) << "a look is used up";
}

TEST(TransmitDrain, OnlyAQueueSeenEmptyEndsWhatWasSent)
{
    TransmitDrain drain;
    EXPECT_FALSE(drain.sentSinceEmpty());
    drain.noteSent(10);
    drain.stillDraining(10, 9600, At);
    drain.stop();
    EXPECT_FALSE(drain.draining());
    EXPECT_TRUE(drain.sentSinceEmpty());
    drain.emptied();
    EXPECT_FALSE(drain.sentSinceEmpty());
}

// cdc_acm counts busy transfer buffers of 10240 bytes, not bytes.
TEST(TransmitDrain, OursInTheKernelQueueNeverExceedsWhatWentInSinceItWasEmpty)
{
    TransmitDrain drain;
    EXPECT_EQ(drain.ours(10240), 0u);
    drain.noteSent(300);
    drain.noteSent(200);
    EXPECT_EQ(drain.ours(10240), 500u);
    EXPECT_EQ(drain.ours(120), 120u);
    drain.emptied();
    drain.noteSent(7);
    EXPECT_EQ(drain.ours(10240), 7u);
}

} // namespace
