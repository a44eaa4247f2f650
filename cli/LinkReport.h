// What zephra-cli link prints: the figures of each direction as text (link/LinkReport.h, shared
// with the window) or as one JSON object, the live status line, and the per-packet rows of
// --csv. Times are in milliseconds.
#pragma once

#include "link/LinkReport.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

using radio::DirectionReport;
using radio::linkCsv;
using radio::linkText;
using radio::notIntactPercent;

// error: the message of a run that failed, as the object's "error" member.
std::string linkJson(const std::vector<DirectionReport> &directions,
                     const std::optional<std::string> &error);
// One line, no line end, for a terminal to overwrite.
std::string linkStatus(const std::vector<DirectionReport> &directions);

} // namespace cli
