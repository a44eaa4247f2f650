// The round-trip chart's scales for its points, whichever backend draws them: the latency axis
// from the packets that came back (intact and damaged apart), the time axis from the run.
#pragma once

#include "framework/controls/Containers.h"
#include "link/ChartScale.h"

#include <vector>

inline radio::ChartScale chartScaleOf(const std::vector<RoundTripChart::Point> &points,
                                      double endSeconds)
{
    std::vector<double> received, damaged;
    for (const RoundTripChart::Point &point : points) {
        if (point.mark != RoundTripChart::Mark::Lost)
            (point.mark == RoundTripChart::Mark::Returned ? received : damaged)
                .push_back(point.milliseconds);
    }
    return radio::chartScale(std::move(received), std::move(damaged), endSeconds);
}
