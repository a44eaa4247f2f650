// The pace of a file sent on the test tab: how many of its bytes to write now so that the line
// stays busy without the writes running far ahead of it, and how long to wait before the next
// piece. The bytes are budgeted by the clock at the line's rate (10 bits a byte) with a small
// lead, so a piece is what the line carries in a few tens of milliseconds and a late timer is
// caught up on the next piece. With a delay after each line end (LF), a piece ends at the LF
// and the next starts that long after the LF has left the line. Pure; the caller writes.
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

namespace terminal {

class SendPacer
{
public:
    using Clock = std::chrono::steady_clock;
    // The usual wait between pieces, and the lead of the writes over the line.
    static constexpr int kTickMs = 20;
    static constexpr int kLeadMs = 30;

    SendPacer(std::string_view bytes, int baudRate, int lineDelayMs, Clock::time_point start);

    struct Piece
    {
        std::size_t offset = 0, size = 0;
        // Milliseconds until the next call, once this piece is written.
        int waitMs = kTickMs;
    };
    // What to write at now; size 0 while the line is still busy or in a line end's delay.
    Piece next(Clock::time_point now);
    // The writer reports what went (at most the piece).
    void written(std::size_t count, Clock::time_point now);

    std::size_t sent() const { return m_sent; }
    std::size_t total() const { return m_bytes.size(); }
    bool done() const { return m_sent >= m_bytes.size(); }

private:
    double budgetAt(Clock::time_point now) const;

    std::string_view m_bytes;
    double m_bytesPerMs;
    int m_lineDelayMs;
    std::size_t m_sent = 0;
    // The budget grows from m_baseBytes at m_baseTime.
    Clock::time_point m_baseTime;
    std::size_t m_baseBytes = 0;
};

} // namespace terminal
