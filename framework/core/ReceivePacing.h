// When the receive box paints text that arrives: at most once per frame, a longer frame while
// a steady stream comes in faster than anyone reads, and a longer one still while every frame
// would replace all the box shows. A frame that is due is painted from the arrival that finds
// it due; the timer only shows the last text of a burst. The box owns the timer and the
// painting and does what each step says. Toolkit-free; UI thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

class ReceivePacing
{
public:
    using Clock = std::chrono::steady_clock;

    // What the box does about text that has just arrived.
    struct Step
    {
        // Ask for a paint now, stopping the timer if it runs.
        bool paint = false;
        // Otherwise, when above 0: start the timer for this many milliseconds.
        int timerMs = 0;
    };
    // Text arrived: this many characters, completing this many new rows, in a box that shows
    // shownRows rows.
    Step arrived(std::size_t characters, std::uint64_t rows, int shownRows,
                 Clock::time_point now = Clock::now());

    // The timer went off, or could not be started.
    void timerStopped() { m_timerRunning = false; }
    // A paint that shows the newest text has been asked for.
    void paintRequested() { m_paintRequested = true; }
    // The box painted.
    void painted(Clock::time_point now = Clock::now());

private:
    void noteArrival(std::size_t characters, std::uint64_t rows, int shownRows,
                     Clock::time_point now);

    Clock::time_point m_lastPaint;
    bool m_paintRequested = false;
    bool m_timerRunning = false;
    // Text arrived in the stream window that began at m_streamWindow (none: a quiet spell).
    Clock::time_point m_streamWindow;
    std::uint64_t m_streamWindowChars = 0;
    std::uint64_t m_streamWindowRows = 0;
    bool m_streaming = false; // faster than anyone reads
    bool m_flooding = false;  // more rows each stream frame than the box shows
};
