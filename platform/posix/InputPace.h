// When a port's I/O thread may leave a trickle of input in the device for a while, as a
// UART's receive FIFO or a USB adapter's latency timer does, so that a line paced byte by
// byte costs one wake-up and one receive event per gathering period instead of one per byte.
// Fed by the I/O thread after every wake-up that looked at the device; times in nanoseconds
// of one monotonic clock. Not thread-safe: the port's lock covers it.
#pragma once

#include <cstddef>
#include <cstdint>

class InputPace
{
public:
    using Nanos = std::int64_t;

    // How long the device is left alone after a wake-up that found a trickle.
    static constexpr Nanos GatherNanos = 40 * 1000000;
    // No wake-up within this long after a write is followed by gathering: the answer to
    // what was written (a command's reply, a key's echo) is taken as soon as it comes.
    static constexpr Nanos AnswerNanos = 250 * 1000000;

    // A wake-up at `at` took `taken` bytes; queueFull says the input queue had no room left
    // after it, lastWriteAt is the time of the last write. Returns the time until which the
    // device is left alone, 0 to look at it again as soon as it has input.
    Nanos afterWakeUp(std::size_t taken, Nanos at, bool queueFull, Nanos lastWriteAt);

private:
    void noteRate(std::size_t taken, Nanos at, bool queueFull);

    Nanos m_lastInputAt = 0;
    Nanos m_windowStart = 0;
    std::size_t m_windowBytes = 0;
    bool m_fast = false;
};
