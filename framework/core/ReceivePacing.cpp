#include "framework/core/ReceivePacing.h"

namespace {

using namespace std::chrono_literals;

// Repaints while text comes in are at most this often; each shows everything so far.
constexpr auto Frame = 16ms;
// While a steady stream comes in faster than anyone reads, at most this often: a repaint
// costs more than the text it shows. The echoes of typing come far slower than a stream,
// so each still shows within Frame.
constexpr auto StreamFrame = 40ms;
// When more rows arrive between two such frames than the box shows, every frame replaces all
// of it and none can be read: then a frame at most this often, and half the drawing.
constexpr auto FloodFrame = 80ms;
constexpr auto StreamWindow = 250ms;
constexpr std::uint64_t StreamCharsPerSecond = 2000;

} // namespace

ReceivePacing::Step ReceivePacing::arrived(std::size_t characters, std::uint64_t rows,
                                           int shownRows, Clock::time_point now)
{
    noteArrival(characters, rows, shownRows, now);
    // A paint already asked for shows the newest text too.
    if (m_paintRequested)
        return {};
    const auto frame = m_flooding ? FloodFrame : m_streaming ? StreamFrame : Frame;
    const auto since = now - m_lastPaint;
    if (since >= frame) {
        // Due: painted in this turn of the event loop, which serves waiting paints before the
        // next arrival, not from a wake-up of its own.
        m_timerRunning = false;
        m_paintRequested = true;
        return {true, 0};
    }
    // The timer shows the last text of a burst. While text keeps coming, the arrival that
    // finds the frame due paints it (above), so the timer waits a little beyond the frame.
    if (m_timerRunning)
        return {};
    m_timerRunning = true;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(frame - since + frame / 4);
    return {false, static_cast<int>(wait.count())};
}

void ReceivePacing::painted(Clock::time_point now)
{
    m_lastPaint = now;
    m_paintRequested = false;
}

void ReceivePacing::noteArrival(std::size_t characters, std::uint64_t rows, int shownRows,
                                Clock::time_point now)
{
    if (now - m_streamWindow > 2 * StreamWindow) {
        // The first text after a quiet spell.
        m_streaming = false;
        m_flooding = false;
        m_streamWindow = now;
        m_streamWindowChars = 0;
        m_streamWindowRows = 0;
    }
    m_streamWindowChars += characters;
    m_streamWindowRows += rows;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - m_streamWindow);
    if (elapsed >= StreamWindow) {
        const auto ms = static_cast<std::uint64_t>(elapsed.count());
        m_streaming = m_streamWindowChars * 1000 >= StreamCharsPerSecond * ms;
        m_flooding = m_streamWindowRows * static_cast<std::uint64_t>(StreamFrame.count()) >=
                     static_cast<std::uint64_t>(shownRows) * ms;
        m_streamWindow = now;
        m_streamWindowChars = 0;
        m_streamWindowRows = 0;
    }
}
