#include "platform/posix/TransmitDrain.h"

#include <algorithm>

namespace {

constexpr TransmitDrain::Nanos kLookMin = 1 * 1000000;
constexpr TransmitDrain::Nanos kLookMax = 10 * 1000000;

} // namespace

bool TransmitDrain::stillDraining(unsigned queued, std::uint32_t speed, Nanos at)
{
    if (queued == 0)
        return false;
    // Ten bits a character.
    const std::uint64_t bitsPerSecond = speed != 0 ? speed : 9600;
    const auto lineTime = Nanos(std::uint64_t(queued) * 10u * 1000000000u / bitsPerSecond);
    m_draining = true;
    m_nextLook = at + std::clamp(lineTime, kLookMin, kLookMax);
    return true;
}

void TransmitDrain::emptied()
{
    m_draining = false;
    m_sentSinceEmpty = false;
    m_bytesSinceEmpty = 0;
}

bool TransmitDrain::lookDue(Nanos at)
{
    if (!m_draining || at < m_nextLook)
        return false;
    m_draining = false;
    return true;
}
