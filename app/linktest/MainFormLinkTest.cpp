// The link test tab: the link test of zephra-cli link with one port, over the window's port.
// "Start" opens the port at the chosen rate and runs the engine on the UI thread: a precise
// single-shot timer wakes it when the next packet is due, the port's receive event (routed
// here while the test holds the port) feeds it what came back. Figures and the chart are
// refreshed at most ten times a second. The test ends when its packets are sent ("Stop" or
// the count) and every packet is resolved; the port is closed then. A port error ends the
// test, closes the port and goes to the error box. A device lost during the test is reported
// by the port itself (its wait fails); the test's next step then ends it quietly, with the
// figures so far, so the loss makes one error box and not one per failed write.
#include "app/MainForm.h"

#include "app/linktest/LinkFigureText.h"
#include "app/linktest/LinkTestRun.h"
#include "framework/core/Exception.h"
#include "framework/core/HandlerGuard.h"
#include "framework/core/IntegerText.h"
#include "link/LinkPolicy.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

using radio::LinkTime;

// Figures and chart at most this often.
constexpr LinkTime ShowPeriod = std::chrono::milliseconds(100);
// What the chart shows.
constexpr LinkTime ChartSpan = std::chrono::seconds(30);

Exception silence(bool bytesCameBack, LinkTime waited)
{
    const std::string text = radio::silenceText(bytesCameBack, waited);
    if (bytesCameBack)
        return Exception(
            text,
            "Check that the rate is the modules' baud setting, that both modules' slide "
            "switches are at RUN, and that the two modules talk to each other (the pair check: "
            "zephra-cli pair).");
    return Exception(text,
                     "Check that both modules' slide switches are at RUN, that the two modules "
                     "talk to each other (the pair check: zephra-cli pair), and that the rate is "
                     "the modules' baud setting.");
}

} // namespace

bool TMainForm::linkHoldsPort() const
{
    return m_linkRun && m_linkRun->holdsPort;
}

void TMainForm::ComboPortLinkDropDown(Control *)
{
    refreshPortList(ComboPortLink);
}

void TMainForm::ComboPortLinkChange(Control *)
{
    applyStates(states::LinkPortChosen);
}

void TMainForm::UntilStoppedLinkClick(Control *)
{
    applyStates(UntilStoppedLink->checked() ? states::LinkUntilStopped : states::LinkCounted);
}

void TMainForm::StartLinkClick(Control *)
{
    const std::int32_t rate = StrToInt(ComboBaudLink->text());
    const std::string port = ComboPortLink->text();
    ComPort1->setPort(port);
    ComPort1->setBaudRate(brCustom);
    ComPort1->setCustomBaudRate(rate);
    ComPort1->Open();
    PortOpened = 1;

    radio::LinkPlan plan;
    plan.lineBitsPerSecond = rate;
    plan.packetBytes = static_cast<std::size_t>(PacketSizeLink->position());
    plan.count =
        UntilStoppedLink->checked() ? 0u : static_cast<std::uint32_t>(PacketCountLink->position());
    // A tag of its own for each run: packets of an earlier run still in a module's buffers
    // are not taken for this one's.
    plan.tag = static_cast<std::uint8_t>(std::random_device{}());
    m_linkRun = std::make_unique<LinkTestRun>(plan, port);

    applyStates(states::LinkStarted);
    StopLink->setFocus();
    LinkState->setText("Running");
    ChartLink->setPoints({}, linkChartScale({}, 0));
    stepLink();
}

void TMainForm::StopLinkClick(Control *)
{
    if (!m_linkRun || !m_linkRun->holdsPort)
        return;
    m_linkRun->link.stopSending();
    // Disabling Stop moves the focus on; the end of the run gives it to Start.
    m_linkRun->stopFocused = StopLink->hasFocus();
    applyStates(states::LinkStopping);
    LinkState->setText("Stopping");
    stepLink();
}

void TMainForm::LinkTimerTimer(Control *)
{
    stepLink();
}

void TMainForm::receiveLink(std::int32_t count)
{
    LinkTestRun &run = *m_linkRun;
    try {
        ComPort1->ReadStr(run.reading, count);
    } catch (...) {
        runGuarded([this] { endLink(false); });
        throw;
    }
    run.bytesReceived += run.reading.size();
    run.link.receive(run.reading, run.now());
    stepLink();
}

void TMainForm::stepLink()
{
    if (!m_linkRun || !m_linkRun->holdsPort)
        return;
    LinkTestRun &run = *m_linkRun;
    radio::LinkDirection &link = run.link;
    if (ComPort1->DeviceLost()) {
        endLink(false);
        return;
    }
    try {
        const LinkTime now = run.now();
        std::string bytes = link.bytesToSend(now);
        if (!bytes.empty()) {
            // The previous packets have left by now: sending is paced below the line rate.
            const std::int32_t written = ComPort1->WaitForTransfer(run.write);
            if (static_cast<std::size_t>(written) < run.writing.size())
                throw Exception("The packets did not leave " + run.port +
                                    " within the write time-out.",
                                "Check that nothing holds the line (flow control, a full "
                                "module).");
            run.writing = std::move(bytes);
            ComPort1->StartWrite(run.writing.data(), static_cast<std::int32_t>(run.writing.size()),
                                 run.write);
        }
        const bool settled = link.settled(now);
        const LinkTime giveUp = radio::giveUpTime(link);
        if (!link.heardAny() && (settled || now >= giveUp))
            throw silence(run.bytesReceived != 0, std::min(now, giveUp));
        if (settled) {
            endLink(true);
            return;
        }
        if (now - run.shown >= ShowPeriod) {
            run.shown = now;
            showLinkFigures();
        }
        LinkTime next = std::min(link.nextEvent(), now + ShowPeriod);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - run.now());
        m_linkTimer->startOnce(static_cast<int>(std::max<std::int64_t>(wait.count(), 0)));
    } catch (...) {
        // The error goes to the box; a failure to close after it gets a box of its own.
        runGuarded([this] { endLink(false); });
        throw;
    }
}

void TMainForm::endLink(bool drain)
{
    LinkTestRun &run = *m_linkRun;
    if (!run.holdsPort)
        return;
    run.holdsPort = false;
    m_linkTimer->setEnabled(false);
    run.link.stopSending();
    run.link.finish();
    showLinkFigures();
    LinkState->setText("Ended");
    const bool stopFocused = StopLink->hasFocus() || run.stopFocused;
    applyStates(states::LinkEnded);
    applyStates(UntilStoppedLink->checked() ? states::LinkUntilStopped : states::LinkCounted);
    if (stopFocused)
        StartLink->setFocus();
    PortOpened = 0;
    // After a failure the write in progress is not waited for: on a dead device it would
    // only fail again. Close aborts it.
    try {
        if (drain)
            ComPort1->WaitForTransfer(run.write);
    } catch (...) {
        ComPort1->Close();
        throw;
    }
    ComPort1->Close();
}

void TMainForm::showLinkFigures()
{
    const LinkTestRun &run = *m_linkRun;
    const radio::LinkFigures figures = run.link.figures();
    const LinkFigureTexts texts = linkFigureTexts(figures);
    const std::pair<Edit *, const std::string *> boxes[] = {{SentLink, &texts.sent},
                                                            {ReceivedLink, &texts.received},
                                                            {LostLink, &texts.lost},
                                                            {DamagedLink, &texts.damaged},
                                                            {P50Link, &texts.p50},
                                                            {P95Link, &texts.p95},
                                                            {MaxLink, &texts.max},
                                                            {ThroughputLink, &texts.throughput},
                                                            {LineShareLink, &texts.lineShare}};
    for (const auto &[box, text] : boxes)
        box->setText(*text);
    const LinkTime start = run.link.started().value_or(LinkTime(0));
    const LinkTime end = run.holdsPort                ? run.now()
                         : run.link.packets().empty() ? start
                                                      : run.link.packets().back().sent;
    std::vector<RoundTripChart::Point> points =
        linkChartPoints(run.link.packets(), start, end, ChartSpan);
    const double endSeconds = static_cast<double>((end - start).count()) / 1e6;
    const RoundTripChart::Scale scale = linkChartScale(points, endSeconds);
    ChartLink->setPoints(std::move(points), scale);
    ChartLink->setDescription(linkChartSummary(figures));
}

void TMainForm::SaveReportLinkClick(Control *)
{
    if (!m_linkRun)
        return;
    const std::optional<std::string> fileName =
        askSaveFileName("Save report", "link-report.csv", "CSV files (*.csv);;All files (*)");
    if (fileName)
        saveLinkReport(*fileName);
}

void TMainForm::saveLinkReport(const std::string &fileName)
{
    const std::string report = linkReport(m_linkRun->link, m_linkRun->port);
    std::FILE *file = std::fopen(fileName.c_str(), "wb");
    bool written = file && std::fwrite(report.data(), 1, report.size(), file) == report.size();
    int error = errno;
    if (file && std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written)
        throw Exception("Cannot write the report to " + fileName + ": " + std::strerror(error) +
                            ".",
                        "Choose a folder you may write to, on a disk with room.");
}
