#include "terminal/TimeStamp.h"

#include <cstdio>
#include <ctime>

namespace terminal {

namespace {

using std::chrono::floor;
using std::chrono::milliseconds;
using std::chrono::seconds;

} // namespace

std::string absoluteStamp(ArrivalTime time)
{
    const auto whole = floor<seconds>(time);
    const auto millis = floor<milliseconds>(time - whole).count();
    const std::time_t secondsSinceEpoch = std::chrono::system_clock::to_time_t(whole);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &secondsSinceEpoch);
#else
    localtime_r(&secondsSinceEpoch, &local);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis));
    return text;
}

std::string relativeStamp(ArrivalTime time, ArrivalTime previous)
{
    const long long difference =
        (floor<milliseconds>(time) - floor<milliseconds>(previous)).count();
    const unsigned long long size = difference < 0
                                        ? 0ULL - static_cast<unsigned long long>(difference)
                                        : static_cast<unsigned long long>(difference);
    char text[40];
    std::snprintf(text, sizeof text, "%c%llu.%03llu", difference < 0 ? '-' : '+', size / 1000,
                  size % 1000);
    return text;
}

} // namespace terminal
