#include "simulator/PacketGatherer.h"

#include "link/ModuleModel.h"

#include <algorithm>

namespace {

constexpr int QuietBytes = 2;

} // namespace

void PacketGatherer::add(std::string_view bytes, Clock::time_point now, int lineBitsPerSecond)
{
    if (lineBitsPerSecond <= 0)
        return;
    const auto byteTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(10'000'000'000LL / lineBitsPerSecond));
    Clock::time_point at = std::max(now, m_lineFree);
    for (const char byte : bytes) {
        at += byteTime;
        m_bytes.push_back({at, byteTime, byte});
    }
    m_lineFree = at;
}

std::size_t PacketGatherer::firstPacket(Clock::time_point &ready) const
{
    const std::size_t most = std::min(m_bytes.size(), radio::PacketBytes);
    std::size_t count = 1;
    // A byte belongs to the packet when it arrives before the line has been quiet too long.
    while (count < most &&
           m_bytes[count].at <= m_bytes[count - 1].at + QuietBytes * m_bytes[count - 1].byteTime)
        ++count;
    const Arrival &last = m_bytes[count - 1];
    ready = count == radio::PacketBytes ? last.at : last.at + QuietBytes * last.byteTime;
    return count;
}

std::vector<PacketGatherer::Packet> PacketGatherer::take(Clock::time_point now)
{
    std::vector<Packet> packets;
    while (!m_bytes.empty()) {
        Clock::time_point ready;
        const std::size_t count = firstPacket(ready);
        if (ready > now)
            break;
        Packet packet{ready, {}};
        for (std::size_t i = 0; i < count; ++i)
            packet.bytes += m_bytes[i].byte;
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(count));
        packets.push_back(std::move(packet));
    }
    return packets;
}

PacketGatherer::Clock::time_point PacketGatherer::nextDue() const
{
    if (m_bytes.empty())
        return Clock::time_point::max();
    Clock::time_point ready;
    firstPacket(ready);
    return ready;
}
