// The link test tab's texts, from the engine's figures and packet records: each figure box's
// text, the chart's accessible summary and points, and the saved report. No I/O; the numbers are
// rounded as zephra-cli link prints them, so the boxes and the report agree.
#pragma once

#include "framework/controls/Containers.h"
#include "link/LinkDirection.h"

#include <string>
#include <vector>

struct LinkFigureTexts
{
    std::string sent, received, lost, damaged, p50, p95, max, throughput, lineShare;
};

LinkFigureTexts linkFigureTexts(const radio::LinkFigures &figures);

// "round trip median 23.0 ms, 0 of 500 lost".
std::string linkChartSummary(const radio::LinkFigures &figures);

// What the chart shows of the packets sent in the span seconds up to now: per packet its time
// sent (seconds from start), round trip and whether it came back, damaged or was lost; packets
// not yet resolved are left out.
std::vector<RoundTripChart::Point> linkChartPoints(const std::vector<radio::PacketRecord> &packets,
                                                   radio::LinkTime start, radio::LinkTime now,
                                                   radio::LinkTime span);

// The chart's axes for those points up to endSeconds since the run started (link/ChartScale.h).
RoundTripChart::Scale linkChartScale(const std::vector<RoundTripChart::Point> &points,
                                     double endSeconds);

// The saved report: zephra-cli link's --csv rows of a one-port run on port, a blank line,
// then its summary and the lost share as lines starting with "# ".
std::string linkReport(const radio::LinkDirection &link, const std::string &port);
