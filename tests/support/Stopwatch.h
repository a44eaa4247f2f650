// Time since a start, from a monotonic clock: the one stopwatch of the tests and benchmarks.
#pragma once

#include <QElapsedTimer>

#include <chrono>

class Stopwatch
{
public:
    Stopwatch() { m_clock.start(); }
    double seconds() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e9; }
    std::chrono::milliseconds elapsed() const
    {
        return std::chrono::milliseconds(m_clock.elapsed());
    }

private:
    QElapsedTimer m_clock;
};
