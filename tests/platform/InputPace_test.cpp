// When the I/O thread leaves a trickle of input in the device, on explicit times.
#include "platform/posix/InputPace.h"

#include <gtest/gtest.h>

namespace {

using Nanos = InputPace::Nanos;
constexpr Nanos Ms = 1000000;
constexpr Nanos LongAgo = -10'000 * Ms; // no write for a long time
// The period a trickle is gathered for.
constexpr Nanos Gather = InputPace::GatherNanos;

TEST(InputPace, ALinePacedAt115200IsGatheredAfterItsFirstByte)
{
    InputPace pace;
    Nanos at = 1000 * Ms;
    // The first byte after a quiet spell was taken at once; from then on the device is left
    // alone for a period after each wake-up, which then finds the bytes of that period.
    EXPECT_EQ(pace.afterWakeUp(1, at, false, LongAgo), at + Gather);
    for (int i = 0; i < 20; ++i) {
        at += Gather;
        EXPECT_EQ(pace.afterWakeUp(230, at, false, LongAgo), at + Gather) << i;
    }
}

TEST(InputPace, AFloodIsNotGatheredWhenOneWakeUpFindsLittleAfterAGap)
{
    InputPace pace;
    Nanos at = 1000 * Ms;
    pace.afterWakeUp(4096, at, false, LongAgo);
    for (int i = 0; i < 100; ++i) {
        at += Ms / 2;
        EXPECT_EQ(pace.afterWakeUp(4096, at, false, LongAgo), 0) << i;
    }
    // The sender was descheduled for 3 ms: alone this wake-up looks like a trickle.
    at += 3 * Ms;
    EXPECT_EQ(pace.afterWakeUp(200, at, false, LongAgo), 0);
}

TEST(InputPace, AFullQueueMarksAFastStream)
{
    InputPace pace;
    const Nanos at = 1000 * Ms;
    pace.afterWakeUp(1000, at, true, LongAgo);
    EXPECT_EQ(pace.afterWakeUp(100, at + 5 * Ms, false, LongAgo), 0);
}

TEST(InputPace, AnAnswerToAWriteIsNeverGathered)
{
    InputPace pace;
    const Nanos at = 1000 * Ms;
    EXPECT_EQ(pace.afterWakeUp(1, at, false, at - 5 * Ms), 0);
    EXPECT_EQ(pace.afterWakeUp(1, at + 100 * Ms, false, at - 5 * Ms), 0);
    const Nanos later = at + InputPace::AnswerNanos;
    EXPECT_EQ(pace.afterWakeUp(1, later, false, at - 5 * Ms), later + Gather);
}

TEST(InputPace, AQuietSpellEndsAFastStream)
{
    InputPace pace;
    Nanos at = 1000 * Ms;
    for (int i = 0; i < 100; ++i, at += Ms / 2)
        pace.afterWakeUp(4096, at, false, LongAgo);
    at += 1000 * Ms;
    EXPECT_EQ(pace.afterWakeUp(1, at, false, LongAgo), at + Gather);
}

TEST(InputPace, AWakeUpWithoutInputEndsGathering)
{
    InputPace pace;
    EXPECT_EQ(pace.afterWakeUp(0, 1000 * Ms, false, LongAgo), 0);
}

} // namespace
