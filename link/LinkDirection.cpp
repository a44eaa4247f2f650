#include "link/LinkDirection.h"

#include <algorithm>
#include <cmath>

namespace radio {

namespace {

constexpr std::int64_t MicrosPerSecond = 1000000;
// Packets go out at this share of the line rate, percent: a far end whose clock runs a few
// percent slow, or that adds a little per packet, then builds no standing queue that the
// latency would measure.
constexpr std::int64_t PacedPercent = 97;
// A packet no longer holds a place in flight once this many packets sent after it arrived.
constexpr std::uint32_t ReorderSpan = 3;

// The time between two packets, rounded up.
LinkTime packetTime(std::size_t bytes, int bitsPerSecond)
{
    const std::int64_t bits = static_cast<std::int64_t>(bytes) * 10 * MicrosPerSecond * 100;
    const std::int64_t rate = std::int64_t{bitsPerSecond} * PacedPercent;
    return LinkTime((bits + rate - 1) / rate);
}

LinkPlan withDefaults(LinkPlan plan)
{
    plan.lineBitsPerSecond = std::max(plan.lineBitsPerSecond, 1);
    plan.packetBytes = std::clamp(plan.packetBytes, MinPacketBytes, MaxPacketBytes);
    const LinkTime interval = packetTime(plan.packetBytes, plan.lineBitsPerSecond);
    if (plan.maxInFlight == 0)
        plan.maxInFlight = 2 + static_cast<std::size_t>(
                                   (MicrosPerSecond / 2 + interval.count() - 1) / interval.count());
    if (plan.lossTime <= LinkTime(0))
        plan.lossTime = LinkTime(2 * MicrosPerSecond) + 3 * interval;
    return plan;
}

} // namespace

std::optional<LatencyFigures> latencyFigures(std::vector<LinkTime> latencies)
{
    if (latencies.empty())
        return std::nullopt;
    std::sort(latencies.begin(), latencies.end());
    const auto rank = [&](int percent) {
        // The smallest value with at least percent of the values at or below it.
        const std::size_t n = latencies.size();
        const std::size_t index = (n * static_cast<std::size_t>(percent) + 99) / 100;
        return latencies[std::max<std::size_t>(index, 1) - 1];
    };
    return LatencyFigures{latencies.front(), rank(50), rank(95), rank(99), latencies.back()};
}

LinkDirection::LinkDirection(const LinkPlan &plan)
    : m_plan(withDefaults(plan)),
      m_interval(packetTime(m_plan.packetBytes, m_plan.lineBitsPerSecond)),
      m_reader(m_plan.tag, m_plan.packetBytes)
{}

void LinkDirection::advance(LinkTime now)
{
    for (; m_overdueFrom < m_packets.size(); ++m_overdueFrom) {
        PacketRecord &packet = m_packets[m_overdueFrom];
        const bool passedBy = m_heard && m_overdueFrom + ReorderSpan < m_highestHeard;
        if (packet.sent + m_plan.lossTime > now && !passedBy)
            break;
        if (packet.result == PacketResult::Pending) {
            packet.overdue = true;
            --m_inFlight;
        }
    }
}

std::string LinkDirection::bytesToSend(LinkTime now)
{
    if (m_finished)
        return {};
    if (!m_started) {
        m_started = now;
        m_nextDue = now;
    }
    advance(now);
    if (m_plan.duration > LinkTime(0) && now >= *m_started + m_plan.duration)
        m_sendingDone = true;
    std::string bytes;
    while (!m_sendingDone && m_inFlight < m_plan.maxInFlight && now >= m_nextDue) {
        const auto number = static_cast<std::uint32_t>(m_packets.size());
        bytes += encodePacket(m_plan.tag, number, m_plan.packetBytes);
        m_packets.push_back(PacketRecord{now, LinkTime(0), PacketResult::Pending, false});
        ++m_inFlight;
        ++m_unresolved;
        m_lastSent = now;
        // After a stall at most one packet goes out early to catch up: a short burst, not a
        // queue.
        m_nextDue = std::max(m_nextDue, now - m_interval) + m_interval;
        if (m_plan.count != 0 && m_packets.size() >= m_plan.count)
            m_sendingDone = true;
    }
    return bytes;
}

void LinkDirection::receive(std::string_view bytes, LinkTime now)
{
    if (m_finished)
        return;
    advance(now);
    m_reader.feed(bytes, [&](std::uint32_t number, bool intact) { found(number, intact, now); });
    advance(now);
}

void LinkDirection::found(std::uint32_t number, bool intact, LinkTime now)
{
    if (number >= m_packets.size())
        return; // not sent in this run: a stray that happened to pass the header check
    const bool later = m_heard && number < m_highestHeard;
    m_highestHeard = m_heard ? std::max(m_highestHeard, number) : number;
    m_heard = true;
    PacketRecord &packet = m_packets[number];
    if (packet.result == PacketResult::Received) {
        if (intact)
            ++m_duplicated;
        return;
    }
    if (!intact && packet.result == PacketResult::Damaged)
        return;
    if (packet.result == PacketResult::Pending) {
        --m_unresolved;
        if (!packet.overdue)
            --m_inFlight;
    }
    packet.arrived = now;
    if (!intact) {
        packet.result = PacketResult::Damaged;
        return;
    }
    packet.result = PacketResult::Received;
    if (later)
        ++m_reordered;
}

void LinkDirection::stopSending()
{
    m_sendingDone = true;
}

bool LinkDirection::settled(LinkTime now) const
{
    return m_sendingDone && (m_unresolved == 0 || now >= m_lastSent + m_plan.lossTime);
}

void LinkDirection::finish()
{
    if (m_finished)
        return;
    const LinkTime end = m_packets.empty() ? LinkTime(0) : m_lastSent + m_plan.lossTime;
    m_reader.flush([&](std::uint32_t number, bool intact) { found(number, intact, end); });
    for (PacketRecord &packet : m_packets) {
        if (packet.result == PacketResult::Pending)
            packet.result = PacketResult::Lost;
    }
    m_inFlight = m_unresolved = 0;
    m_sendingDone = m_finished = true;
}

LinkTime LinkDirection::nextEvent() const
{
    LinkTime next = LinkTime::max();
    if (m_finished || !m_started)
        return next;
    if (!m_sendingDone) {
        if (m_inFlight < m_plan.maxInFlight)
            next = m_nextDue;
        if (m_plan.duration > LinkTime(0))
            next = std::min(next, *m_started + m_plan.duration);
    } else if (m_unresolved != 0) {
        next = m_lastSent + m_plan.lossTime;
    }
    if (m_overdueFrom < m_packets.size())
        next = std::min(next, m_packets[m_overdueFrom].sent + m_plan.lossTime);
    return next;
}

LinkFigures LinkDirection::figures() const
{
    LinkFigures figures;
    figures.sent = m_packets.size();
    figures.duplicated = m_duplicated;
    figures.reordered = m_reordered;
    figures.packetBytes = m_plan.packetBytes;
    std::vector<LinkTime> latencies;
    LinkTime lastArrival{0};
    for (const PacketRecord &packet : m_packets) {
        switch (packet.result) {
        case PacketResult::Received:
            ++figures.received;
            latencies.push_back(packet.arrived - packet.sent);
            lastArrival = std::max(lastArrival, packet.arrived);
            break;
        case PacketResult::Damaged:
            ++figures.damaged;
            break;
        case PacketResult::Lost:
            ++figures.lost;
            break;
        case PacketResult::Pending:
            ++(packet.overdue ? figures.lost : figures.pending);
            break;
        }
    }
    figures.latency = latencyFigures(std::move(latencies));
    if (figures.received != 0 && m_started && lastArrival > *m_started) {
        const double seconds = static_cast<double>((lastArrival - *m_started).count()) / 1e6;
        figures.bytesPerSecond =
            static_cast<double>(figures.received * m_plan.packetBytes) / seconds;
        figures.lineShare = figures.bytesPerSecond * 10 / m_plan.lineBitsPerSecond;
    }
    return figures;
}

} // namespace radio
