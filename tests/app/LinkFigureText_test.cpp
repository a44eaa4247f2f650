// The link test tab's texts from an engine fed explicit bytes at explicit times: the figure
// boxes, the chart's summary and points, and the saved report, which must agree with the
// boxes and hold zephra-cli link's --csv rows. And the state rows that share the port
// between the link test and the other tabs.
#include "app/linktest/LinkFigureText.h"

#include "app/ControlStates.h"
#include "link/LinkReport.h"

#include <gtest/gtest.h>

namespace {

using namespace radio;
using namespace std::chrono_literals;

constexpr std::uint8_t Tag = 0x21;
constexpr std::size_t Size = 16;

// Four packets at 9600 bit/s: 0 back after 20 ms, 1 never, 2 damaged, 3 back after 30 ms.
LinkDirection finishedRun()
{
    LinkPlan plan;
    plan.lineBitsPerSecond = 9600;
    plan.packetBytes = Size;
    plan.tag = Tag;
    plan.count = 4;
    LinkDirection link(plan);
    LinkTime now = 0us;
    while (!link.sendingDone()) {
        link.bytesToSend(now);
        now += 1ms;
    }
    const auto sent = [&](std::uint32_t n) { return link.packets()[n].sent; };
    std::string damaged = encodePacket(Tag, 2, Size);
    damaged[12] ^= 0x40;
    link.receive(encodePacket(Tag, 0, Size), sent(0) + 20ms);
    link.receive(damaged, sent(2) + 25ms);
    link.receive(encodePacket(Tag, 3, Size), sent(3) + 30ms);
    link.finish();
    return link;
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(LinkFigureText, BoxesChartAndReportShowTheSameFigures)
{
    const LinkDirection link = finishedRun();
    const LinkFigures figures = link.figures();
    const LinkFigureTexts texts = linkFigureTexts(figures);
    EXPECT_EQ(texts.sent, "4");
    EXPECT_EQ(texts.received, "2");
    EXPECT_EQ(texts.lost, "1 (25.0%)");
    EXPECT_EQ(texts.damaged, "1");
    EXPECT_EQ(texts.p50, "20.0 ms");
    EXPECT_EQ(texts.max, "30.0 ms");
    EXPECT_EQ(linkChartSummary(figures), "round trip median 20.0 ms, 1 of 4 lost");

    // Every packet on the chart, marked as it ended, at its round trip.
    const LinkTime start = *link.started();
    const auto points = linkChartPoints(link.packets(), start, link.packets().back().sent, 30s);
    ASSERT_EQ(points.size(), 4u);
    using Mark = RoundTripChart::Mark;
    EXPECT_EQ(points[0].mark, Mark::Returned);
    EXPECT_DOUBLE_EQ(points[0].milliseconds, 20.0);
    EXPECT_EQ(points[1].mark, Mark::Lost);
    EXPECT_EQ(points[2].mark, Mark::Damaged);
    EXPECT_DOUBLE_EQ(points[3].milliseconds, 30.0);
    // Only the span up to now: the packets sent before it have scrolled out.
    EXPECT_EQ(linkChartPoints(link.packets(), start, link.packets()[3].sent + 30s, 30s).size(), 1u);

    // The report: exactly the command line program's rows, then its summary and the lost
    // share as comments, with the numbers of the boxes.
    const std::string report = linkReport(link, "COM7");
    const std::string rows = linkCsv({{"COM7", "COM7", &link}}, start);
    ASSERT_EQ(report.substr(0, rows.size() + 1), rows + "\n");
    const std::string summary = report.substr(rows.size() + 1);
    EXPECT_TRUE(contains(summary, "# COM7 -> COM7: sent 4, received 2, damaged 1, lost 1,"))
        << summary;
    EXPECT_TRUE(contains(summary, "p50 20.0, ")) << summary;
    EXPECT_TRUE(contains(summary, "max 30.0\n")) << summary;
    EXPECT_TRUE(contains(summary, "# lost 25.0% of the packets sent\n")) << summary;
    EXPECT_TRUE(contains(summary, texts.throughput.substr(0, texts.throughput.find(' ')) +
                                      " bytes/s, " + texts.lineShare + " of the line"))
        << summary;
}

TEST(LinkFigureText, NoRoundTripYet)
{
    const LinkFigures none;
    const LinkFigureTexts texts = linkFigureTexts(none);
    EXPECT_EQ(texts.lost, "0 (0.0%)");
    EXPECT_EQ(texts.p50, "-");
    EXPECT_EQ(linkChartSummary(none), "no round trip yet, 0 of 0 lost");
}

TEST(LinkTestStates, TheLinkTestAndTheOtherTabsShareThePortByTheTables)
{
    using enum ControlId;
    const auto is = [](const ControlStates &states, ControlId control) {
        return states[static_cast<std::size_t>(control)];
    };
    // While the link test holds the port, no tab can open it or change its name or rate.
    for (const ControlId control : {ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun,
                                    OpenPortRun, ComboPortLink, ComboBaudLink, StartLink})
        EXPECT_EQ(is(states::LinkStarted, control), Enabled::Off) << controlName(control);
    EXPECT_EQ(is(states::LinkStarted, StopLink), Enabled::On);
    // And the reverse: while the setup or test tab holds it, the link test cannot start.
    for (const ControlStates *held : {&states::SetupOpened, &states::RunOpened}) {
        for (const ControlId control : {ComboPortLink, ComboBaudLink, StartLink})
            EXPECT_EQ(is(*held, control), Enabled::Off) << controlName(control);
    }
    // Whichever tab lets the port go gives every tab its port list back.
    for (const ControlStates *freed :
         {&states::LinkEnded, &states::SetupClosed, &states::RunClosed}) {
        for (const ControlId control : {ComboPortSetup, ComboPortRun, ComboPortLink, StartLink})
            EXPECT_EQ(is(*freed, control), Enabled::On) << controlName(control);
    }
    EXPECT_EQ(is(states::LinkEnded, StopLink), Enabled::Off);
    EXPECT_EQ(is(states::Start, SaveReportLink), Enabled::Off);
}
