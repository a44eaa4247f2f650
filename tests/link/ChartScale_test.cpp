// The link test chart's scales: round values, the run's own time span, and a round trip axis
// that the packets which came back intact set.
#include "link/ChartScale.h"

#include <gtest/gtest.h>

namespace {

using namespace radio;

class RoundScale : public testing::TestWithParam<std::pair<double, double>>
{
};

TEST_P(RoundScale, IsOneTwoOrFiveTimesAPowerOfTen)
{
    EXPECT_DOUBLE_EQ(roundScaleAbove(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Values, RoundScale,
                         testing::Values(std::pair(0.3, 1.0), std::pair(1.0, 1.0),
                                         std::pair(1.1, 2.0), std::pair(2.5, 5.0),
                                         std::pair(7.0, 10.0), std::pair(4321.0, 5000.0)));

struct TopCase
{
    std::vector<double> received, damaged;
    double top;
};

class RoundTripTop : public testing::TestWithParam<TopCase>
{
};

TEST_P(RoundTripTop, FollowsTheIntactPackets)
{
    const ChartScale scale = chartScale(GetParam().received, GetParam().damaged, 1);
    EXPECT_DOUBLE_EQ(scale.topMilliseconds, GetParam().top);
    for (const double damaged : GetParam().damaged)
        EXPECT_EQ(scale.isAbove(damaged), damaged > GetParam().top);
}

std::vector<double> many(std::size_t count, double milliseconds, std::vector<double> more = {})
{
    more.insert(more.end(), count, milliseconds);
    return more;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RoundTripTop,
    testing::Values(TopCase{many(292, 3.2), many(8, 5000), 5}, // damaged ones wait for time-out
                    TopCase{many(299, 3.2, {400}), {}, 5},     // one slow packet in 300
                    TopCase{{2, 3, 7}, {}, 10},                // few packets: the largest
                    TopCase{{}, {30, 40}, 50},                 // nothing intact yet
                    TopCase{{}, {}, 10}));

TEST(ChartScale, ShowsTheRunUntilItOutlastsTheLongestSpan)
{
    const auto span = [](double end) {
        const ChartScale scale = chartScale({}, {}, end, 30);
        return std::pair(scale.startSeconds, scale.spanSeconds);
    };
    EXPECT_EQ(span(0.5), std::pair(0.0, 0.5));
    EXPECT_EQ(span(0), std::pair(0.0, 0.1));
    EXPECT_EQ(span(45), std::pair(15.0, 30.0));
    EXPECT_TRUE(chartScale(many(299, 3.2, {400}), {}, 1).isAbove(400));
}

} // namespace
