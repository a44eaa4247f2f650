// Whether the bytes a comm port wrote are still leaving the kernel's transmit queue. A write
// completes, EV_TXEMPTY comes and a toggled RTS goes down only once that queue was seen empty;
// cbOutQue asks the device only while bytes of ours may still be in it. No device wakes anyone
// when its queue empties, so the I/O thread looks again after about the time the queue takes
// to leave at the line's speed, within 1 to 10 ms. Times in nanoseconds of one monotonic clock.
// Not thread-safe: the port's lock covers it.
#pragma once

#include <cstdint>

class TransmitDrain
{
public:
    using Nanos = std::int64_t;
    static constexpr Nanos Never = INT64_MAX;

    // Bytes of ours went into the kernel's queue.
    void noteSent(std::uint64_t bytes)
    {
        m_sentSinceEmpty = true;
        m_bytesSinceEmpty += bytes;
    }
    // What of the kernel's queue (`reported` bytes, as the driver counts) can be ours: no more
    // than went in since it was last seen empty. Some drivers count whole transfer buffers.
    std::uint64_t ours(std::uint64_t reported) const
    {
        return m_sentSinceEmpty ? (reported < m_bytesSinceEmpty ? reported : m_bytesSinceEmpty) : 0;
    }
    // Whether bytes of ours may be in the kernel's queue: some went in and the queue has not
    // been seen empty since.
    bool sentSinceEmpty() const { return m_sentSinceEmpty; }
    // The kernel's queue held `queued` bytes at `at` on a line of `speed` bit/s (0: not set,
    // taken as 9600). Returns whether it is still draining; if so the next look is armed.
    bool stillDraining(unsigned queued, std::uint32_t speed, Nanos at);
    // The queue was seen empty with no write pending: nothing of ours is in it.
    void emptied();
    // No further look: the device is gone, or its queue was dropped.
    void stop() { m_draining = false; }

    bool draining() const { return m_draining; }
    // When the next look is due; Never while not draining.
    Nanos nextLook() const { return m_draining ? m_nextLook : Never; }
    // Whether the armed look is due at `at`; if so it is used up.
    bool lookDue(Nanos at);

private:
    bool m_sentSinceEmpty = false;
    std::uint64_t m_bytesSinceEmpty = 0;
    bool m_draining = false;
    Nanos m_nextLook = Never;
};
