// ppoll() for at most a steady-clock duration (duration::max(): no limit; a negative one is
// taken as zero). Returns what ppoll returns, errno as it left it.
#pragma once

#include <algorithm>
#include <chrono>
#include <poll.h>

inline int pollWithin(pollfd *fds, nfds_t count, std::chrono::steady_clock::duration wait)
{
    using Duration = std::chrono::steady_clock::duration;
    if (wait == Duration::max())
        return ::ppoll(fds, count, nullptr, nullptr);
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(wait, Duration::zero()))
            .count();
    const timespec timeout{static_cast<time_t>(ns / 1'000'000'000),
                           static_cast<long>(ns % 1'000'000'000)};
    return ::ppoll(fds, count, &timeout, nullptr);
}
