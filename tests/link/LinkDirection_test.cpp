// The link test engine on explicit byte streams and explicit times: what each packet ends
// as when the far side loses, damages, repeats or reorders bytes and packets.
#include "link/LinkDirection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using namespace radio;
using namespace std::chrono_literals;

constexpr std::uint8_t Tag = 0x3C;

std::string packets(std::uint32_t from, std::uint32_t to, std::size_t size = 32)
{
    std::string bytes;
    for (std::uint32_t n = from; n < to; ++n)
        bytes += encodePacket(Tag, n, size);
    return bytes;
}

// What a reader finds, as "3" (intact) or "3!" (damaged), in order.
std::string found(const std::string &stream, std::size_t pieceBytes, bool flush = false,
                  std::size_t size = 32)
{
    PacketReader reader(Tag, size);
    std::string seen;
    const auto note = [&](std::uint32_t number, bool intact) {
        seen += std::to_string(number) + (intact ? " " : "! ");
    };
    for (std::size_t at = 0; at < stream.size(); at += pieceBytes)
        reader.feed(std::string_view(stream).substr(at, pieceBytes), note);
    if (flush)
        reader.flush(note);
    return seen;
}

TEST(PacketReader, FindsTheNextPacketAfterLostDamagedOrAddedBytes)
{
    const std::string clean = packets(0, 5);
    const std::size_t third = 2 * 32;
    struct Case
    {
        const char *what;
        std::string stream;
        std::string expected;
    };
    std::string bodyDropped = clean, bodyAltered = clean, headerAltered = clean, noisy = clean,
                checkAltered = clean;
    bodyDropped.erase(third + 20, 1);
    bodyAltered[third + 20] ^= 0x10;
    headerAltered[third + 4] ^= 0x01;
    checkAltered[third + 31] ^= 0x80;
    noisy.insert(third, "\xA5\x5A\xA5\xA5\x5A\x3C\x00\x00");
    const Case cases[] = {
        {"clean", clean, "0 1 2 3 4 "},
        {"a body byte lost", bodyDropped, "0 1 2! 3 4 "},
        {"a body byte altered", bodyAltered, "0 1 2! 3 4 "},
        {"the packet check altered", checkAltered, "0 1 2! 3 4 "},
        {"the number altered: unidentifiable", headerAltered, "0 1 3 4 "},
        {"noise with sync pairs between packets", noisy, "0 1 2 3 4 "},
        {"another run's packets", encodePacket(Tag + 1, 7, 32) + clean, "0 1 2 3 4 "},
        {"packets of another size", encodePacket(Tag, 7, 33) + clean, "0 1 2 3 4 "},
    };
    for (const Case &c : cases) {
        for (std::size_t piece : {std::size_t(1), std::size_t(7), c.stream.size()})
            EXPECT_EQ(found(c.stream, piece), c.expected) << c.what << ", pieces of " << piece;
    }
    // A packet cut short by the end of the stream is damaged once the stream ends.
    EXPECT_EQ(found(clean.substr(0, 4 * 32 + 20), 5), "0 1 2 3 ");
    EXPECT_EQ(found(clean.substr(0, 4 * 32 + 20), 5, true), "0 1 2 3 4! ");
    EXPECT_EQ(found(packets(0, 3, MaxPacketBytes), 64, false, MaxPacketBytes), "0 1 2 ");
}

TEST(LatencyFigures, AreNearestRankPercentiles)
{
    std::vector<LinkTime> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(LinkTime(i));
    const auto figures = latencyFigures(hundred);
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->min, LinkTime(1));
    EXPECT_EQ(figures->p50, LinkTime(50));
    EXPECT_EQ(figures->p95, LinkTime(95));
    EXPECT_EQ(figures->p99, LinkTime(99));
    EXPECT_EQ(figures->max, LinkTime(100));
    const auto one = latencyFigures({LinkTime(7)});
    EXPECT_EQ(one->p50, LinkTime(7));
    EXPECT_EQ(one->p99, LinkTime(7));
    EXPECT_FALSE(latencyFigures({}));
}

LinkPlan plan(std::uint32_t count, std::size_t size = 32, int bits = 19200)
{
    LinkPlan p;
    p.lineBitsPerSecond = bits;
    p.packetBytes = size;
    p.tag = Tag;
    p.count = count;
    return p;
}

TEST(LinkDirection, PacesJustBelowTheLineRateAndBoundsWhatIsInFlight)
{
    // 32 bytes at 97% of 19200 bit/s: 17183 us a packet; 2 + 30 packets in flight.
    LinkDirection link(plan(100));
    EXPECT_EQ(link.packetInterval(), 17183us);
    std::size_t sent = 0;
    for (LinkTime now = 0us; now < 2s; now += 1ms)
        sent += link.bytesToSend(now).size() / 32;
    EXPECT_EQ(sent, 32u) << "a far end that never answers holds the window";
    // Once the first packets count as lost, their places go to new packets.
    const LinkTime lossTime = link.plan().lossTime;
    EXPECT_EQ(link.nextEvent(), lossTime);
    EXPECT_EQ(link.bytesToSend(lossTime).size(), 32u);
    EXPECT_EQ(link.figures().lost, 1u);
    EXPECT_EQ(link.figures().pending, 32u);

    // A late caller gets one packet to catch up, not the whole backlog.
    LinkDirection late(plan(100));
    EXPECT_EQ(late.bytesToSend(0us).size(), 32u);
    EXPECT_EQ(late.bytesToSend(500ms).size(), 64u);
    EXPECT_EQ(late.bytesToSend(510ms).size(), 0u);
    EXPECT_EQ(late.nextEvent(), 500ms + 17183us);
}

TEST(LinkDirection, EveryPacketEndsAsExactlyOneResult)
{
    LinkDirection link(plan(10));
    LinkTime now = 0us;
    while (!link.sendingDone())
        link.bytesToSend(now += 20ms);
    std::string damaged3 = packets(3, 4), damaged6 = packets(6, 7);
    damaged3[20] ^= 1;
    damaged6.erase(15, 1);
    // 5 never comes back, 2 comes after 3, 4 twice, 6 damaged and then intact.
    const std::string stream = packets(0, 2) + damaged3 + packets(2, 3) + packets(4, 5) +
                               packets(4, 5) + damaged6 + packets(6, 7) + packets(7, 10);
    for (std::size_t at = 0; at < stream.size(); at += 10)
        link.receive(std::string_view(stream).substr(at, 10), now += 1ms);
    EXPECT_FALSE(link.settled(now));
    EXPECT_TRUE(link.settled(200ms + link.plan().lossTime));
    link.finish();
    const LinkFigures f = link.figures();
    EXPECT_EQ(f.sent, 10u);
    EXPECT_EQ(f.received, 8u);
    EXPECT_EQ(f.damaged, 1u);
    EXPECT_EQ(f.lost, 1u);
    EXPECT_EQ(f.pending, 0u);
    EXPECT_EQ(f.duplicated, 1u);
    EXPECT_EQ(f.reordered, 1u);
    EXPECT_EQ(link.packets()[5].result, PacketResult::Lost);
    EXPECT_EQ(link.packets()[3].result, PacketResult::Damaged);
    EXPECT_EQ(link.packets()[6].result, PacketResult::Received);
}

TEST(LinkDirection, APacketGivenUpStillCountsAsReceivedShouldItArrive)
{
    LinkDirection link(plan(10));
    for (LinkTime now = 0ms; now < 200ms; now += 20ms)
        link.bytesToSend(now);
    // 0 and 1 are passed by more than three later packets: given up long before the loss
    // time, so that lost packets do not hold the places in flight.
    link.receive(packets(2, 6), 200ms);
    EXPECT_EQ(link.figures().lost, 2u);
    EXPECT_EQ(link.figures().pending, 4u);
    link.receive(packets(0, 1), 5s);
    link.finish();
    EXPECT_EQ(link.figures().lost, 5u);
    EXPECT_EQ(link.figures().received, 5u);
    EXPECT_EQ(link.figures().reordered, 1u);
    EXPECT_EQ(link.figures().latency->max, 5s);
}

// A far end that echoes each packet after `delay`, dropping or altering bytes at random about
// once in `oneIn` bytes; whether each packet came back untouched is noted.
struct FaultyEcho
{
    explicit FaultyEcho(unsigned oneIn) : oneIn(oneIn) {}

    std::mt19937 random{1};
    unsigned oneIn;
    std::vector<bool> untouched;

    std::string pass(std::string packet)
    {
        bool touched = false;
        for (std::size_t i = 0; i < packet.size(); ++i) {
            if (random() % oneIn != 0)
                continue;
            touched = true;
            if (random() % 2)
                packet.erase(i--, 1);
            else
                packet[i] = static_cast<char>(packet[i] ^ (1 << random() % 8));
        }
        untouched.push_back(!touched);
        return packet;
    }
};

TEST(LinkDirection, DamageOnTheLineIsCountedInProportionAndNeverAsReceived)
{
    LinkDirection link(plan(2000));
    FaultyEcho far(300);
    LinkTime now = 0us;
    while (!link.settled(now)) {
        const std::string sent = link.bytesToSend(now);
        for (std::size_t at = 0; at < sent.size(); at += 32)
            link.receive(far.pass(sent.substr(at, 32)), now + 30ms);
        now = std::min(link.nextEvent(), now + 30ms);
    }
    link.finish();
    const LinkFigures f = link.figures();
    const auto untouched =
        static_cast<std::uint64_t>(std::count(far.untouched.begin(), far.untouched.end(), true));
    EXPECT_EQ(f.sent, 2000u);
    EXPECT_EQ(f.received, untouched);
    EXPECT_EQ(f.received + f.damaged + f.lost, 2000u);
    // One byte in 300 touches about 10% of 32-byte packets; 9 of their 32 bytes are the
    // header, which a packet cannot be named without.
    EXPECT_NEAR(double(f.damaged + f.lost), 2000 * (1 - std::pow(1 - 1.0 / 300, 32)), 60);
    EXPECT_GT(f.damaged, 2 * f.lost);
    EXPECT_EQ(f.duplicated + f.reordered, 0u);
}

TEST(LinkDirection, ThroughputOfAPerfectLinkIsThePacedRate)
{
    LinkDirection link(plan(1000, MaxPacketBytes, 19200));
    LinkTime now = 0us;
    // Each packet is all there one line time after it was written, and 2 ms later echoed.
    const LinkTime latency = link.packetInterval() + 2ms;
    while (!link.sendingDone()) {
        link.receive(link.bytesToSend(now), now + latency);
        now = link.nextEvent();
    }
    const LinkFigures f = link.figures();
    EXPECT_EQ(f.received, 1000u);
    EXPECT_GT(f.lineShare, 0.96);
    EXPECT_LE(f.lineShare, 0.97);
    EXPECT_EQ(f.latency->p50, latency);
}

} // namespace
