// The link test's figures as text, shared by zephra-cli link and the window's link test tab:
// the summary of each direction and the per-packet rows of a CSV report. Times are in
// milliseconds. Pure.
#pragma once

#include "link/LinkDirection.h"
#include "link/LinkPolicy.h"

#include <string>
#include <vector>

namespace radio {

struct DirectionReport
{
    std::string from, to;
    const LinkDirection *link;
};

// Per direction: the counts, the latencies (when any packet came back) and the throughput.
std::string linkText(const std::vector<DirectionReport> &directions);
// A header line, then per packet: from, to, number, time sent (from the test's start),
// result (received, damaged, lost), latency (received packets only).
std::string linkCsv(const std::vector<DirectionReport> &directions, LinkTime start);

// "sent n, received n, damaged n, lost n".
std::string linkCounts(const LinkFigures &figures);

} // namespace radio
