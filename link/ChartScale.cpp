#include "link/ChartScale.h"

#include <algorithm>
#include <cstddef>

namespace radio {

namespace {

// The shortest time axis: a run that has only just started still has one.
constexpr double ShortestSpanSeconds = 0.1;
// The round trip axis while nothing has come back.
constexpr double EmptyTopMilliseconds = 10;

// The 99th percentile by nearest rank: with fewer than 100 values, the largest.
double percentile99(std::vector<double> values)
{
    const std::size_t rank = (99 * values.size() + 99) / 100; // ceil(0.99 n), exactly
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(rank - 1);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

} // namespace

double roundScaleAbove(double value)
{
    double step = 1;
    while (step < value) {
        for (const double factor : {2.0, 2.5, 2.0}) {
            step *= factor;
            if (step >= value)
                return step;
        }
    }
    return step;
}

ChartScale chartScale(std::vector<double> receivedMilliseconds,
                      std::vector<double> damagedMilliseconds, double endSeconds,
                      double longestSpanSeconds)
{
    ChartScale scale;
    if (endSeconds < longestSpanSeconds) {
        scale.startSeconds = 0;
        scale.spanSeconds = std::max(endSeconds, ShortestSpanSeconds);
    } else {
        scale.startSeconds = endSeconds - longestSpanSeconds;
        scale.spanSeconds = longestSpanSeconds;
    }
    std::vector<double> &shown =
        receivedMilliseconds.empty() ? damagedMilliseconds : receivedMilliseconds;
    scale.topMilliseconds =
        shown.empty() ? EmptyTopMilliseconds : roundScaleAbove(percentile99(std::move(shown)));
    return scale;
}

} // namespace radio
