// The link test engine for one direction: it numbers packets, paces them onto the line,
// finds them again on the far side and keeps the figures. With one port and a far loopback
// plug, one direction measures round trips; with two ports, one direction per port pair.
//
// It has no clock and does no I/O. The caller passes the time into every call (its own
// clock, any fixed start) and moves the bytes: bytesToSend() gives what to write now,
// receive() takes what was read and when. The same calls with the same times give the same
// figures.
//
// Sending is paced at 97% of the line rate (10 bits per byte) and at most maxInFlight packets
// are unresolved at once, so the test measures the link rather than queues in front of it. A
// packet ends as exactly one of: received (intact; later intact copies count as duplicated),
// damaged (arrived and identifiable, with a bad packet check; an intact copy arriving later
// makes it received) or lost (nothing identifiable arrived before finish()). A packet still
// unresolved lossTime after it was sent, or once three packets sent after it have arrived,
// counts as lost in the live figures and no longer holds a place in flight; should it still
// arrive, it counts as received. A packet received
// after one with a higher number had arrived (intact or damaged) counts as reordered.
#pragma once

#include "link/LinkPacket.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace radio {

using LinkTime = std::chrono::microseconds;

struct LinkPlan
{
    // The line rate of the port the packets are written to, bit/s.
    int lineBitsPerSecond = 9600;
    std::size_t packetBytes = 32;
    // Tells this run's packets from any others on the line.
    std::uint8_t tag = 0;
    // When to stop sending: after count packets, after duration, whichever comes first; 0
    // for no limit (then only stopSending() ends it).
    std::uint32_t count = 0;
    LinkTime duration{0};
    // 0: the defaults: two packets plus what the line carries in half a second, and 2 s plus
    // three packets' line time.
    std::size_t maxInFlight = 0;
    LinkTime lossTime{0};
};

enum class PacketResult { Pending, Received, Damaged, Lost };

struct PacketRecord
{
    LinkTime sent{0};
    // When the intact copy arrived (received) or the damaged one (damaged).
    LinkTime arrived{0};
    PacketResult result = PacketResult::Pending;
    // Given up (unresolved for lossTime, or passed by later packets): counted as lost while
    // the test runs.
    bool overdue = false;
};

struct LatencyFigures
{
    LinkTime min{0}, p50{0}, p95{0}, p99{0}, max{0};
};

// Nearest-rank percentiles of the latencies (any order); none for an empty list.
std::optional<LatencyFigures> latencyFigures(std::vector<LinkTime> latencies);

struct LinkFigures
{
    std::uint64_t sent = 0, received = 0, damaged = 0, lost = 0, pending = 0;
    std::uint64_t duplicated = 0, reordered = 0;
    std::size_t packetBytes = 0;
    std::optional<LatencyFigures> latency;
    // Bytes of intact packets from the first packet sent to the last one received.
    double bytesPerSecond = 0;
    // bytesPerSecond over what the line carries at its rate.
    double lineShare = 0;
};

class LinkDirection
{
public:
    explicit LinkDirection(const LinkPlan &plan);

    // The packets due by now, back to back; empty when none is. The first call starts the
    // test.
    std::string bytesToSend(LinkTime now);
    void receive(std::string_view bytes, LinkTime now);
    // No more packets after now (an interrupted run, a far end that never answers).
    void stopSending();
    bool sendingDone() const { return m_sendingDone; }
    // Sending is done and every packet is resolved, or lossTime has passed since the last.
    bool settled(LinkTime now) const;
    // Ends the test: a packet cut short by the end counts as damaged, what is still
    // unresolved as lost.
    void finish();
    bool finished() const { return m_finished; }
    // The earliest time at which something is due without bytes arriving (a packet to send,
    // one to count as lost, the end of sending or settling); LinkTime::max() when nothing is.
    LinkTime nextEvent() const;

    // Whether any packet of this test came back, intact or damaged.
    bool heardAny() const { return m_heard; }
    std::optional<LinkTime> started() const { return m_started; }
    LinkFigures figures() const;
    // One record per packet sent, by packet number.
    const std::vector<PacketRecord> &packets() const { return m_packets; }
    const LinkPlan &plan() const { return m_plan; }
    LinkTime packetInterval() const { return m_interval; }

private:
    // Marks packets unresolved for lossTime, or passed by later arrivals, as overdue.
    void advance(LinkTime now);
    void found(std::uint32_t number, bool intact, LinkTime now);

    LinkPlan m_plan;
    LinkTime m_interval;
    PacketReader m_reader;
    std::vector<PacketRecord> m_packets;
    std::optional<LinkTime> m_started;
    LinkTime m_nextDue{0};
    LinkTime m_lastSent{0};
    std::size_t m_overdueFrom = 0; // packets before this were checked for being overdue
    std::size_t m_inFlight = 0;    // unresolved, not overdue
    std::size_t m_unresolved = 0;
    std::uint32_t m_highestHeard = 0; // the highest number that arrived, intact or not
    bool m_heard = false;
    bool m_sendingDone = false;
    bool m_finished = false;
    std::uint64_t m_duplicated = 0;
    std::uint64_t m_reordered = 0;
};

} // namespace radio
