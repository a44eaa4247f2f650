#include "cli/LinkReport.h"

#include "cli/Report.h"
#include "framework/core/Format.h"

namespace cli {

namespace {

using radio::LinkFigures;
using radio::LinkTime;

double ms(LinkTime time)
{
    return static_cast<double>(time.count()) / 1000.0;
}

const char *resultWord(radio::PacketResult result)
{
    switch (result) {
    case radio::PacketResult::Received:
        return "received";
    case radio::PacketResult::Damaged:
        return "damaged";
    case radio::PacketResult::Pending:
        return "pending";
    case radio::PacketResult::Lost:
        break;
    }
    return "lost";
}

std::string latencyJson(const LinkFigures &f)
{
    if (!f.latency)
        return R"({"min": null, "p50": null, "p95": null, "p99": null, "max": null})";
    const auto &l = *f.latency;
    return formatText(R"({"min": %.3f, "p50": %.3f, "p95": %.3f, "p99": %.3f, "max": %.3f})",
                      ms(l.min), ms(l.p50), ms(l.p95), ms(l.p99), ms(l.max));
}

std::string counts(const LinkFigures &f)
{
    return formatText(
        "sent %llu, received %llu, damaged %llu, lost %llu",
        static_cast<unsigned long long>(f.sent), static_cast<unsigned long long>(f.received),
        static_cast<unsigned long long>(f.damaged), static_cast<unsigned long long>(f.lost));
}

} // namespace

double lossPercent(const LinkFigures &figures)
{
    if (figures.sent == 0)
        return 0;
    return 100.0 * static_cast<double>(figures.lost + figures.damaged) /
           static_cast<double>(figures.sent);
}

std::string linkText(const std::vector<DirectionReport> &directions)
{
    std::string out;
    for (const DirectionReport &d : directions) {
        const LinkFigures f = d.link->figures();
        out += d.from + " -> " + d.to + ": " + counts(f) +
               formatText(", duplicated %llu, reordered %llu\n",
                          static_cast<unsigned long long>(f.duplicated),
                          static_cast<unsigned long long>(f.reordered));
        if (f.latency)
            out += formatText("  latency ms: min %.1f, p50 %.1f, p95 %.1f, p99 %.1f, max %.1f\n",
                              ms(f.latency->min), ms(f.latency->p50), ms(f.latency->p95),
                              ms(f.latency->p99), ms(f.latency->max));
        out += formatText("  throughput: %.0f bytes/s, %.1f%% of the line; packets of %zu bytes\n",
                          f.bytesPerSecond, 100 * f.lineShare, f.packetBytes);
    }
    return out;
}

std::string linkJson(const std::vector<DirectionReport> &directions,
                     const std::optional<std::string> &error)
{
    std::string out = "{\"directions\": [";
    for (std::size_t i = 0; i < directions.size(); ++i) {
        const DirectionReport &d = directions[i];
        const LinkFigures f = d.link->figures();
        out += (i ? ", " : "") +
               formatText(R"({"from": %s, "to": %s, "sent": %llu, "received": %llu, )"
                          R"("damaged": %llu, "lost": %llu, "duplicated": %llu, )"
                          R"("reordered": %llu, "packet_bytes": %zu, "latency_ms": %s, )"
                          R"("bytes_per_second": %.1f, "line_share": %.4f})",
                          jsonString(d.from).c_str(), jsonString(d.to).c_str(),
                          static_cast<unsigned long long>(f.sent),
                          static_cast<unsigned long long>(f.received),
                          static_cast<unsigned long long>(f.damaged),
                          static_cast<unsigned long long>(f.lost),
                          static_cast<unsigned long long>(f.duplicated),
                          static_cast<unsigned long long>(f.reordered), f.packetBytes,
                          latencyJson(f).c_str(), f.bytesPerSecond, f.lineShare);
    }
    out += "]";
    if (error)
        out += ", \"error\": " + jsonString(*error);
    return out + "}\n";
}

std::string linkStatus(const std::vector<DirectionReport> &directions)
{
    std::string out;
    for (const DirectionReport &d : directions) {
        const LinkFigures f = d.link->figures();
        out += (out.empty() ? "" : " | ") + d.from + "->" + d.to + ": " + counts(f);
        if (f.latency)
            out += formatText(", p50 %.1f ms", ms(f.latency->p50));
    }
    return out;
}

std::string linkCsv(const std::vector<DirectionReport> &directions, LinkTime start)
{
    std::string out = "from,to,number,sent_ms,result,latency_ms\n";
    for (const DirectionReport &d : directions) {
        const auto &packets = d.link->packets();
        for (std::size_t n = 0; n < packets.size(); ++n) {
            const radio::PacketRecord &p = packets[n];
            out += formatText("%s,%s,%zu,%.3f,%s,", d.from.c_str(), d.to.c_str(), n,
                              ms(p.sent - start), resultWord(p.result));
            if (p.result == radio::PacketResult::Received)
                out += formatText("%.3f", ms(p.arrived - p.sent));
            out += "\n";
        }
    }
    return out;
}

} // namespace cli
