#include "cli/LinkTest.h"

#include "cli/Commands.h"
#include "cli/LinkReport.h"
#include "cli/ModuleLink.h"
#include "cli/Report.h"
#include "cli/StopSignal.h"
#include "link/LinkPolicy.h"
#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;
using radio::LinkDirection;
using radio::LinkTime;

constexpr auto StatusPeriod = std::chrono::milliseconds(100);
// A reader's wait for its first byte, so that it sees a stop request this often.
constexpr std::int32_t ReadWaitMs = 50;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

// A failure of the run that is no port error from the serial layer.
struct LinkFailure
{
    std::string message;
};

struct Arrival
{
    std::size_t port;
    std::string bytes;
    Clock::time_point at;
};

// What the port readers hand to the main thread, and the first error one of them met.
class Arrivals
{
public:
    void push(Arrival arrival)
    {
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(arrival));
        m_changed.notify_one();
    }

    void fail(std::exception_ptr error)
    {
        std::lock_guard lock(m_mutex);
        if (!m_error)
            m_error = std::move(error);
        m_changed.notify_one();
    }

    // Waits until something arrived or until; takes all there is. A reader's error leaves
    // here.
    std::vector<Arrival> take(Clock::time_point until)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_until(lock, until, [&] { return !m_items.empty() || m_error; });
        if (m_error)
            std::rethrow_exception(m_error);
        return std::exchange(m_items, {});
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Arrival> m_items;
    std::exception_ptr m_error;
};

// One port of the test: opened at the test's rate like ModuleLink's (8N1, no flow control,
// DTR and RTS off, no event thread), a thread that reads and stamps what arrives, and writes
// that do not wait for the line.
class LinkPort
{
public:
    LinkPort(const std::string &name, int baud, std::size_t index, Arrivals &arrivals)
        : m_index(index), m_arrivals(arrivals)
    {
        setModuleLine(m_port, name);
        m_port.setBaudRate(brCustom);
        m_port.setCustomBaudRate(baud);
        // A read returns with what is queued as soon as a byte is there, or empty after
        // ReadWaitMs (readArrived).
        m_port.Timeouts().setReadInterval(0);
        m_port.Timeouts().setReadTotalMultiplier(0);
        m_port.Timeouts().setReadTotalConstant(ReadWaitMs);
        m_port.Open();
        m_write = NewTransfer();
        m_reader = std::thread([this] { readLoop(); });
    }

    ~LinkPort()
    {
        m_stop = true;
        m_reader.join();
        try {
            // Only a write that started is waited for: one that failed at once never
            // completes, and its event stays unsignalled.
            if (m_writePending)
                m_port.WaitForTransfer(m_write);
            m_port.Close();
        } catch (...) {
            // The run's outcome is already decided; the port's destructor releases the device.
        }
        DisposeTransfer(m_write);
    }

    LinkPort(const LinkPort &) = delete;
    LinkPort &operator=(const LinkPort &) = delete;

    const std::string &name() const { return m_port.Port(); }
    std::uint64_t bytesReceived() const { return m_received; }

    // Waits for the previous write (paced sending has let it leave by now), then starts
    // this one.
    void send(std::string bytes)
    {
        if (m_writePending)
            finishWrite();
        m_writing = std::move(bytes);
        m_port.StartWrite(m_writing.data(), static_cast<std::int32_t>(m_writing.size()), m_write);
        m_writePending = true;
    }

private:
    void finishWrite()
    {
        m_writePending = false;
        const std::int32_t written = m_port.WaitForTransfer(m_write);
        if (static_cast<std::size_t>(written) < m_writing.size())
            throw LinkFailure{"The packets did not leave " + name() +
                              " within the write time-out; is something holding the line?"};
        m_writing.clear();
    }

    void readLoop()
    {
        try {
            char buffer[4096];
            while (!m_stop) {
                const std::int32_t count = readArrived(m_port, buffer, sizeof buffer);
                if (count <= 0)
                    continue;
                m_received += static_cast<std::uint64_t>(count);
                m_arrivals.push(
                    {m_index, std::string(buffer, static_cast<std::size_t>(count)), Clock::now()});
            }
        } catch (...) {
            m_arrivals.fail(std::current_exception());
        }
    }

    std::size_t m_index;
    Arrivals &m_arrivals;
    TComPort m_port;
    TPortTransfer *m_write = nullptr;
    std::string m_writing;
    bool m_writePending = false;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_received{0};
};

struct Direction
{
    LinkDirection link;
    std::size_t sendPort, receivePort;
};

std::string silenceMessage(const LinkOptions &options, bool bytesCameBack, LinkTime waited)
{
    const std::string text = radio::silenceText(bytesCameBack, waited);
    const std::string pairCommand =
        options.ports.size() == 2 ? "zephra-cli pair " + options.ports[0] + " " + options.ports[1]
                                  : "zephra-cli pair";
    const std::string baud = "--baud " + std::to_string(options.baud);
    if (bytesCameBack)
        return text + "\nCheck that " + baud +
               " is the modules' baud setting, that both modules are switched to RUN, and "
               "that they talk to each other (" +
               pairCommand + ").";
    return text + "\nCheck that both modules are switched to RUN, that they talk to each other (" +
           pairCommand + "), and that " + baud + " is the modules' baud setting.";
}

// The test's own loop: sends what is due, feeds what arrived, and ends when every direction
// has settled; gives the message when nothing came back at all.
std::optional<std::string> runLoop(const LinkOptions &options, std::vector<Direction> &directions,
                                   std::vector<std::unique_ptr<LinkPort>> &ports,
                                   Arrivals &arrivals, Clock::time_point start,
                                   const std::vector<DirectionReport> &reports)
{
    const auto at = [&](Clock::time_point t) {
        return std::chrono::duration_cast<LinkTime>(t - start);
    };
    const LinkTime giveUp = radio::giveUpTime(directions.front().link);
    const bool showStatus = ::isatty(STDERR_FILENO);
    auto lastStatus = start - StatusPeriod;
    const auto anyHeard = [&] {
        return std::any_of(directions.begin(), directions.end(),
                           [](const Direction &d) { return d.link.heardAny(); });
    };
    const auto bytesCameBack = [&] {
        return std::any_of(ports.begin(), ports.end(),
                           [](const auto &port) { return port->bytesReceived() != 0; });
    };
    for (;;) {
        const auto clock = Clock::now();
        const LinkTime now = at(clock);
        LinkTime next = LinkTime::max();
        bool settled = true;
        for (Direction &d : directions) {
            if (interrupted)
                d.link.stopSending();
            std::string bytes = d.link.bytesToSend(now);
            if (!bytes.empty())
                ports[d.sendPort]->send(std::move(bytes));
            settled = settled && d.link.settled(now);
            next = std::min(next, d.link.nextEvent());
        }
        if (!anyHeard() && (settled || now >= giveUp)) {
            if (showStatus)
                std::cerr << "\r\033[K";
            return silenceMessage(options, bytesCameBack(), std::min(now, giveUp));
        }
        if (settled)
            break;
        if (showStatus && clock - lastStatus >= StatusPeriod) {
            std::cerr << "\r" << linkStatus(reports) << "\033[K" << std::flush;
            lastStatus = clock;
        }
        auto until = clock + StatusPeriod;
        if (next != LinkTime::max())
            until = std::min(until, start + next);
        for (Arrival &arrival : arrivals.take(until)) {
            for (Direction &d : directions) {
                if (d.receivePort == arrival.port)
                    d.link.receive(arrival.bytes, at(arrival.at));
            }
        }
    }
    if (showStatus)
        std::cerr << "\r\033[K" << std::flush;
    return std::nullopt;
}

} // namespace

int linkTest(const LinkOptions &options)
{
    std::ofstream csv;
    if (!options.csvFile.empty()) {
        csv.open(options.csvFile, std::ios::trunc);
        if (!csv) {
            std::cerr << "zephra-cli: cannot write " << options.csvFile << "\n";
            return Usage;
        }
    }
    radio::LinkPlan plan;
    plan.lineBitsPerSecond = options.baud;
    plan.packetBytes = options.size;
    plan.count = options.count;
    plan.duration = LinkTime(static_cast<std::int64_t>(options.seconds * 1e6));
    // A tag of its own for each run and direction: packets of an earlier run still in a
    // module's buffers are not taken for this one's.
    plan.tag = static_cast<std::uint8_t>(std::random_device{}());
    std::vector<Direction> directions;
    std::vector<DirectionReport> reports;
    directions.reserve(2);
    const std::string &a = options.ports.front(), &b = options.ports.back();
    directions.push_back({LinkDirection(plan), 0, options.ports.size() - 1});
    reports.push_back({a, b, &directions[0].link});
    if (options.ports.size() == 2) {
        plan.tag ^= 0x80;
        directions.push_back({LinkDirection(plan), 1, 0});
        reports.push_back({b, a, &directions[1].link});
    }

    interrupted = 0;
    onStopRequest(onInterrupt);

    std::optional<std::string> failure;
    int status = Done;
    try {
        Arrivals arrivals;
        std::vector<std::unique_ptr<LinkPort>> ports;
        for (std::size_t i = 0; i < options.ports.size(); ++i)
            ports.push_back(
                std::make_unique<LinkPort>(options.ports[i], options.baud, i, arrivals));
        failure = runLoop(options, directions, ports, arrivals, Clock::now(), reports);
        if (failure)
            status = NoReply;
    } catch (const EComPort &e) {
        failure = portErrorText(e);
        failure->pop_back();
        status = portErrorStatus(e);
    } catch (const LinkFailure &e) {
        failure = e.message;
        status = PortError;
    }
    for (Direction &d : directions) {
        d.link.finish();
        if (status == Done && notIntactPercent(d.link.figures()) > options.maxLossPercent)
            status = Mismatch;
    }

    if (options.json)
        std::cout << linkJson(reports, failure);
    else
        std::cout << linkText(reports);
    if (failure && !options.json)
        std::cerr << *failure << "\n";
    if (csv.is_open()) {
        const auto started = directions.front().link.started();
        csv << linkCsv(reports, started ? *started : LinkTime(0));
    }
    if (csv.is_open() && !csv.flush()) {
        std::cerr << "zephra-cli: cannot write " << options.csvFile << "\n";
        status = status == Done ? Usage : status;
    }
    return status;
}

} // namespace cli
