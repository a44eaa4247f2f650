#include "cli/LinkReport.h"

#include "cli/Report.h"
#include "framework/core/Format.h"

namespace cli {

namespace {

using radio::LinkFigures;
using radio::LinkTime;

std::string latencyJson(const LinkFigures &f)
{
    if (!f.latency)
        return R"({"min": null, "p50": null, "p95": null, "p99": null, "max": null})";
    const auto &l = *f.latency;
    return formatText(R"({"min": %.3f, "p50": %.3f, "p95": %.3f, "p99": %.3f, "max": %.3f})",
                      radio::milliseconds(l.min), radio::milliseconds(l.p50),
                      radio::milliseconds(l.p95), radio::milliseconds(l.p99),
                      radio::milliseconds(l.max));
}

} // namespace

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
        out += (out.empty() ? "" : " | ") + d.from + "->" + d.to + ": " + radio::linkCounts(f);
        if (f.latency)
            out += formatText(", p50 %.1f ms", radio::milliseconds(f.latency->p50));
    }
    return out;
}

} // namespace cli
