// What threads did over a stretch: their CPU time and how often they were woken (voluntary
// context switches, one each time a thread slept and was woken). "Does not spin" checks count
// the wake-ups: a thread that polls wakes at its own rate whatever the machine's load, and a
// thread that spins without sleeping shows in the CPU time.
#pragma once

#include <sys/resource.h>

struct Activity
{
    double cpuSeconds = 0;
    long wakeups = 0;

    // So far, for the process (RUSAGE_SELF) or the calling thread (RUSAGE_THREAD).
    static Activity now(int who = RUSAGE_SELF)
    {
        rusage usage{};
        getrusage(who, &usage);
        const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
        return {seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_nvcsw};
    }
    // So far, for the process's threads but the calling one.
    static Activity others() { return now().since(now(RUSAGE_THREAD)); }
    Activity since(const Activity &before) const
    {
        return {cpuSeconds - before.cpuSeconds, wakeups - before.wakeups};
    }
};
