// What zephra-cli link prints: the figures of each direction as text or as one JSON object,
// the live status line, and the per-packet rows of --csv. Times are in milliseconds.
#pragma once

#include "link/LinkDirection.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct DirectionReport
{
    std::string from, to;
    const radio::LinkDirection *link;
};

std::string linkText(const std::vector<DirectionReport> &directions);
// error: the message of a run that failed, as the object's "error" member.
std::string linkJson(const std::vector<DirectionReport> &directions,
                     const std::optional<std::string> &error);
// One line, no line end, for a terminal to overwrite.
std::string linkStatus(const std::vector<DirectionReport> &directions);
// A header line, then per packet: from, to, number, time sent (from the test's start),
// result (received, damaged, lost), latency (received packets only).
std::string linkCsv(const std::vector<DirectionReport> &directions, radio::LinkTime start);

// The share of a direction's packets that did not arrive intact (lost or damaged), percent.
double lossPercent(const radio::LinkFigures &figures);

} // namespace cli
