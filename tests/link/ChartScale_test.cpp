#include "link/ChartScale.h"

#include <gtest/gtest.h>

namespace {

using namespace radio;

std::vector<double> many(std::size_t count, double milliseconds, std::vector<double> more = {})
{
    more.insert(more.end(), count, milliseconds);
    return more;
}

// A round value above the intact packets: damaged ones (at their time-out) and a rare slow
// intact one are drawn above the top.
TEST(ChartScale, RoundTripTopFollowsTheIntactPackets)
{
    const auto top = [](std::vector<double> received, std::vector<double> damaged) {
        return chartScale(std::move(received), std::move(damaged), 1).topMilliseconds;
    };
    EXPECT_EQ(top(many(292, 3.2), many(8, 5000)), 5);
    EXPECT_EQ(top(many(299, 3.2, {5000}), {}), 5);
    EXPECT_TRUE(chartScale(many(299, 3.2, {5000}), {}, 1).isAbove(5000));
    EXPECT_EQ(top({0.3, 1.1}, {}), 2);
    EXPECT_EQ(top({2, 7}, {}), 10);
    EXPECT_EQ(top({}, {30, 4321}), 5000);
    EXPECT_EQ(top({}, {}), 10);
}

TEST(ChartScale, ShowsTheRunUntilItOutlastsTheLongestSpan)
{
    for (const auto &[end, start, span] :
         {std::tuple(0.5, 0.0, 0.5), {0.0, 0.0, 0.1}, {45.0, 15.0, 30.0}}) {
        const ChartScale scale = chartScale({}, {}, end, 30);
        EXPECT_EQ(std::pair(scale.startSeconds, scale.spanSeconds), std::pair(start, span)) << end;
    }
}

} // namespace
