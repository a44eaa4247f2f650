// The scales of the link test's round trip chart, apart from any window. The time axis shows
// the whole run while it is shorter than the longest span, then the last longest span. The
// round trip axis goes up to 1, 2 or 5 times a power of ten: just above the packets that came
// back intact (their 99th percentile, so a rare slow one cannot flatten the rest), or, while
// none has, above the damaged ones. A damaged packet or a lost one waited for its time-out and
// says nothing about the link's round trip; anything above the top is drawn at the top edge,
// marked as beyond the scale.
#pragma once

#include <vector>

namespace radio {

struct ChartScale
{
    double startSeconds = 0; // the time at the left edge
    double spanSeconds = 30;
    double topMilliseconds = 10;

    bool isAbove(double milliseconds) const { return milliseconds > topMilliseconds; }
};

// The smallest of 1, 2 or 5 times a power of ten that is at least value, and at least 1.
double roundScaleAbove(double value);

// The scales for round trips in view, up to the time endSeconds since the run started.
ChartScale chartScale(std::vector<double> receivedMilliseconds,
                      std::vector<double> damagedMilliseconds, double endSeconds,
                      double longestSpanSeconds = 30);

} // namespace radio
