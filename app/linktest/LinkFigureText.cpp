#include "app/linktest/LinkFigureText.h"

#include "framework/core/Format.h"
#include "link/ChartScale.h"
#include "link/LinkReport.h"

#include <algorithm>

namespace {

using radio::LinkTime;

std::string count(std::uint64_t value)
{
    return formatText("%llu", static_cast<unsigned long long>(value));
}

} // namespace

LinkFigureTexts linkFigureTexts(const radio::LinkFigures &f)
{
    LinkFigureTexts texts;
    texts.sent = count(f.sent);
    texts.received = count(f.received);
    texts.lost = formatText("%llu (%.1f%%)", static_cast<unsigned long long>(f.lost),
                            radio::lostOnlyPercent(f));
    texts.damaged = count(f.damaged);
    const auto latency = [&](LinkTime radio::LatencyFigures::*which) {
        return f.latency ? formatText("%.1f ms", radio::milliseconds((*f.latency).*which))
                         : std::string("-");
    };
    texts.p50 = latency(&radio::LatencyFigures::p50);
    texts.p95 = latency(&radio::LatencyFigures::p95);
    texts.max = latency(&radio::LatencyFigures::max);
    texts.throughput = formatText("%.0f B/s", f.bytesPerSecond);
    texts.lineShare = formatText("%.1f%%", 100 * f.lineShare);
    return texts;
}

std::string linkChartSummary(const radio::LinkFigures &f)
{
    const std::string lost =
        formatText("%llu of %llu lost", static_cast<unsigned long long>(f.lost),
                   static_cast<unsigned long long>(f.sent));
    if (!f.latency)
        return "no round trip yet, " + lost;
    return formatText("round trip median %.1f ms, ", radio::milliseconds(f.latency->p50)) + lost;
}

std::vector<RoundTripChart::Point> linkChartPoints(const std::vector<radio::PacketRecord> &packets,
                                                   LinkTime start, LinkTime now, LinkTime span)
{
    // Packets are recorded in the order they were sent, so the ones in view are a tail.
    const auto first = std::lower_bound(
        packets.begin(), packets.end(), now - span,
        [](const radio::PacketRecord &packet, LinkTime from) { return packet.sent < from; });
    using Mark = RoundTripChart::Mark;
    std::vector<RoundTripChart::Point> points;
    points.reserve(static_cast<std::size_t>(packets.end() - first));
    for (auto packet = first; packet != packets.end(); ++packet) {
        const double seconds = radio::milliseconds(packet->sent - start) / 1000.0;
        switch (packet->result) {
        case radio::PacketResult::Received:
            points.push_back(
                {seconds, radio::milliseconds(packet->arrived - packet->sent), Mark::Returned});
            break;
        case radio::PacketResult::Damaged:
            points.push_back(
                {seconds, radio::milliseconds(packet->arrived - packet->sent), Mark::Damaged});
            break;
        case radio::PacketResult::Lost:
            points.push_back({seconds, 0, Mark::Lost});
            break;
        case radio::PacketResult::Pending:
            if (packet->overdue)
                points.push_back({seconds, 0, Mark::Lost});
            break;
        }
    }
    return points;
}

RoundTripChart::Scale linkChartScale(const std::vector<RoundTripChart::Point> &points,
                                     double endSeconds)
{
    std::vector<double> received, damaged;
    for (const RoundTripChart::Point &point : points) {
        if (point.mark != RoundTripChart::Mark::Lost)
            (point.mark == RoundTripChart::Mark::Returned ? received : damaged)
                .push_back(point.milliseconds);
    }
    const radio::ChartScale scale =
        radio::chartScale(std::move(received), std::move(damaged), endSeconds);
    return {scale.startSeconds, endSeconds, scale.spanSeconds, scale.topMilliseconds};
}

std::string linkReport(const radio::LinkDirection &link, const std::string &port)
{
    const std::vector<radio::DirectionReport> reports{{port, port, &link}};
    const auto started = link.started();
    std::string summary =
        radio::linkText(reports) +
        formatText("lost %.1f%% of the packets sent\n", radio::lostOnlyPercent(link.figures()));
    std::string out = radio::linkCsv(reports, started ? *started : LinkTime(0)) + "\n";
    std::size_t from = 0;
    while (from < summary.size()) {
        const std::size_t end = summary.find('\n', from);
        out += "# " + summary.substr(from, end - from) + "\n";
        from = end + 1;
    }
    return out;
}
