#include "link/LinkReport.h"

#include "framework/core/Format.h"

namespace radio {

namespace {

const char *resultWord(PacketResult result)
{
    switch (result) {
    case PacketResult::Received:
        return "received";
    case PacketResult::Damaged:
        return "damaged";
    case PacketResult::Pending:
        return "pending";
    case PacketResult::Lost:
        break;
    }
    return "lost";
}

} // namespace

std::string linkCounts(const LinkFigures &f)
{
    return formatText(
        "sent %llu, received %llu, damaged %llu, lost %llu",
        static_cast<unsigned long long>(f.sent), static_cast<unsigned long long>(f.received),
        static_cast<unsigned long long>(f.damaged), static_cast<unsigned long long>(f.lost));
}

std::string linkText(const std::vector<DirectionReport> &directions)
{
    std::string out;
    for (const DirectionReport &d : directions) {
        const LinkFigures f = d.link->figures();
        out += d.from + " -> " + d.to + ": " + linkCounts(f) +
               formatText(", duplicated %llu, reordered %llu\n",
                          static_cast<unsigned long long>(f.duplicated),
                          static_cast<unsigned long long>(f.reordered));
        if (f.latency)
            out += formatText("  latency ms: min %.1f, p50 %.1f, p95 %.1f, p99 %.1f, max %.1f\n",
                              milliseconds(f.latency->min), milliseconds(f.latency->p50),
                              milliseconds(f.latency->p95), milliseconds(f.latency->p99),
                              milliseconds(f.latency->max));
        out += formatText("  throughput: %.0f bytes/s, %.1f%% of the line; packets of %zu bytes\n",
                          f.bytesPerSecond, 100 * f.lineShare, f.packetBytes);
    }
    return out;
}

std::string linkCsv(const std::vector<DirectionReport> &directions, LinkTime start)
{
    std::string out = "from,to,number,sent_ms,result,latency_ms\n";
    for (const DirectionReport &d : directions) {
        const auto &packets = d.link->packets();
        for (std::size_t n = 0; n < packets.size(); ++n) {
            const PacketRecord &p = packets[n];
            out += formatText("%s,%s,%zu,%.3f,%s,", d.from.c_str(), d.to.c_str(), n,
                              milliseconds(p.sent - start), resultWord(p.result));
            if (p.result == PacketResult::Received)
                out += formatText("%.3f", milliseconds(p.arrived - p.sent));
            out += "\n";
        }
    }
    return out;
}

} // namespace radio
