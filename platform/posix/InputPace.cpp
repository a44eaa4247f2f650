#include "platform/posix/InputPace.h"

#include "platform/posix/TtyDevice.h"

namespace {

// A wake-up that finds half a line-discipline buffer or more is never followed by gathering.
constexpr std::size_t kGatherBelow = TtyDevice::HalfLineBuffer;
// Input slower than 1 MB/s is a trickle.
constexpr InputPace::Nanos kNanosPerByte = 1000;
// One wake-up alone is a poor judge of the rate: in a flood the sender is now and then
// descheduled, and a wake-up then finds a few bytes after a long gap. Gathering there would
// leave a fast stream in the kernel's small buffer for a whole period. So a stream also
// counts as fast while its last window of this length ran at 1 MB/s or more, or filled the
// queue; a gap longer than the window ends the stream.
constexpr InputPace::Nanos kRateWindowNanos = 20 * 1000000;

} // namespace

InputPace::Nanos InputPace::afterWakeUp(std::size_t taken, Nanos at, bool queueFull,
                                        Nanos lastWriteAt)
{
    if (taken == 0)
        return 0;
    noteRate(taken, at, queueFull);
    const bool trickle = taken < kGatherBelow && !m_fast && at - lastWriteAt >= AnswerNanos &&
                         Nanos(taken) * kNanosPerByte < at - m_lastInputAt;
    m_lastInputAt = at;
    return trickle ? at + GatherNanos : 0;
}

void InputPace::noteRate(std::size_t taken, Nanos at, bool queueFull)
{
    if (at - m_lastInputAt > kRateWindowNanos) {
        m_fast = false;
        m_windowStart = at;
        m_windowBytes = 0;
    }
    m_windowBytes += taken;
    if (queueFull) {
        m_fast = true;
    } else if (at - m_windowStart >= kRateWindowNanos) {
        m_fast = Nanos(m_windowBytes) * kNanosPerByte >= at - m_windowStart;
        m_windowStart = at;
        m_windowBytes = 0;
    }
}
