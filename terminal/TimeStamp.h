// The time stamps of the lines and hex views, from arrival times the caller gives.
//   Absolute: the local time on a 24-hour clock, "hh:mm:ss.mmm" ("14:03:27.045").
//   Relative: the time since the previous stamp, "+S.mmm": a sign, whole seconds without
//   leading zeros, a point and three digits of milliseconds ("+0.012", "+75.300"); "-" where
//   the clock was set back in between.
// Both count whole milliseconds of the clock, so a relative stamp is exactly the difference of
// the two absolute stamps it stands between. Pure functions, any thread.
#pragma once

#include <chrono>
#include <string>

namespace terminal {

using ArrivalTime = std::chrono::system_clock::time_point;

enum class Stamps { Off, Absolute, Relative };

std::string absoluteStamp(ArrivalTime time);
std::string relativeStamp(ArrivalTime time, ArrivalTime previous);

} // namespace terminal
