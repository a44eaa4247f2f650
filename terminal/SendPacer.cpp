#include "terminal/SendPacer.h"

#include <algorithm>
#include <cmath>

namespace terminal {

namespace {

double msBetween(SendPacer::Clock::time_point from, SendPacer::Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

SendPacer::SendPacer(std::string_view bytes, int baudRate, int lineDelayMs, Clock::time_point start)
    : m_bytes(bytes), m_bytesPerMs(std::max(baudRate, 1) / 10000.0),
      m_lineDelayMs(std::max(lineDelayMs, 0)), m_baseTime(start)
{}

double SendPacer::budgetAt(Clock::time_point now) const
{
    const double elapsed = std::max(0.0, msBetween(m_baseTime, now));
    return static_cast<double>(m_baseBytes) + (elapsed + kLeadMs) * m_bytesPerMs;
}

SendPacer::Piece SendPacer::next(Clock::time_point now)
{
    Piece piece;
    piece.offset = m_sent;
    if (done() || now < m_baseTime) {
        piece.waitMs = done() ? 0
                              : std::clamp(static_cast<int>(std::ceil(msBetween(now, m_baseTime))),
                                           1, kTickMs);
        return piece;
    }
    // A late timer is caught up, but one piece stays short enough for the window to keep up.
    const double allowed =
        std::min(budgetAt(now) - static_cast<double>(m_sent), 4.0 * kTickMs * m_bytesPerMs + 1);
    std::size_t size = allowed >= 1 ? static_cast<std::size_t>(allowed) : 0;
    size = std::min(size, m_bytes.size() - m_sent);
    if (m_lineDelayMs > 0 && size > 0) {
        const std::size_t end = m_bytes.find('\n', m_sent);
        if (end != std::string_view::npos && end < m_sent + size)
            size = end + 1 - m_sent;
    }
    piece.size = size;
    return piece;
}

void SendPacer::written(std::size_t count, Clock::time_point now)
{
    const bool lineEnd = m_lineDelayMs > 0 && count > 0 && m_bytes[m_sent + count - 1] == '\n';
    m_sent += count;
    if (!lineEnd || done())
        return;
    // The delay starts when the line end has left the line: after what was written ahead.
    const double ahead = static_cast<double>(m_sent - m_baseBytes) / m_bytesPerMs -
                         std::max(0.0, msBetween(m_baseTime, now));
    m_baseTime = now + std::chrono::microseconds(static_cast<std::int64_t>(
                           (std::max(0.0, ahead) + m_lineDelayMs) * 1000.0));
    m_baseBytes = m_sent;
}

} // namespace terminal
