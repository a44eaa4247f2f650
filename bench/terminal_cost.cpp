// What a steady stream costs the utility. A far end writes text lines (78 characters, CR, LF)
// into a pty for 10 s at 115200 bit/s, 1 Mbit/s and 3 Mbit/s, paced like a line: a byte is
// written once its 10 bits would have arrived, and whatever has arrived since the last write
// goes in one write. The window shows it on its test tab. Printed: the process's CPU time
// less the far end's own thread, as a share of one core, first idle with the port open and then
// during the stream; the longest single event the UI thread handled (nothing else could run
// meanwhile); the receive events; and whether the text shown equals the display rule.
// Usage: terminal_cost [seconds per rate, default 10] [rates in bit/s ..., default the three]
#include "app/MainForm.h"
#include "framework/qt/ReceiveView.h"
#include "terminal/ReceivedText.h"

#include "TestTabBench.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

std::string textLines(std::size_t size)
{
    std::string text;
    text.reserve(size + 80);
    for (std::size_t line = 0; text.size() < size; ++line) {
        std::string row = "line " + std::to_string(line) + ": ";
        for (char c = 'A'; row.size() < 78; c = c == 'Z' ? 'A' : static_cast<char>(c + 1))
            row += c;
        text += row + "\r\n";
    }
    text.resize(size);
    return text;
}

// Writes data to fd paced at bps, 10 bits per byte; keeps the CPU time of its own thread.
class PacedWriter
{
public:
    PacedWriter(int fd, const std::string &data, int bps)
        : m_thread([this, fd, &data, bps] { run(fd, data, bps); })
    {}
    ~PacedWriter() { m_thread.join(); }
    PacedWriter(const PacedWriter &) = delete;
    PacedWriter &operator=(const PacedWriter &) = delete;

    bool finished() const { return m_finished; }
    double cpuSeconds() const { return m_cpuSeconds; }

private:
    void run(int fd, const std::string &data, int bps)
    {
        pthread_setname_np(pthread_self(), "far-end");
        const double cpuStart = threadCpuSeconds();
        using Clock = std::chrono::steady_clock;
        const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / bps);
        const auto start = Clock::now();
        std::size_t sent = 0;
        while (sent < data.size()) {
            const auto arrived = std::min<std::size_t>(
                data.size(), static_cast<std::size_t>((Clock::now() - start) / byteTime));
            while (sent < arrived) {
                const ssize_t n = ::write(fd, data.data() + sent, arrived - sent);
                if (n > 0) {
                    sent += static_cast<std::size_t>(n);
                } else if (n < 0 && errno == EAGAIN) {
                    pollfd p{fd, POLLOUT, 0};
                    ::poll(&p, 1, 100);
                } else if (n < 0 && errno != EINTR) {
                    sent = data.size(); // the window went away
                    break;
                }
            }
            const auto due = start + (sent + 1) * byteTime;
            std::this_thread::sleep_until(due);
        }
        m_cpuSeconds = threadCpuSeconds() - cpuStart;
        m_finished = true;
    }

    std::atomic<bool> m_finished{false};
    std::atomic<double> m_cpuSeconds{0};
    std::thread m_thread;
};

// Runs the event loop for ms, or until done() holds when given; looks twice a second only, so
// that the waiting adds nothing to the figures.
void runFor(int ms, const std::function<bool()> &done = {})
{
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    end.start(ms);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done && done())
            loop.quit();
    });
    if (done)
        check.start(500);
    loop.exec();
}

int stream(TimedApplication &app, int bps, int seconds)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) < 0) {
        std::printf("  ERROR: no pty\n");
        return 1;
    }
    ::close(slave);
    const BenchPortDirectory directory;
    directory.publish(name);

    const std::string data = textLines(static_cast<std::size_t>(bps) / 10 * seconds);
    const std::size_t expected = terminal::receivedText(data).size();
    int status = 0;
    {
        TMainForm form;
        if (!openTestTab(form, std::to_string(bps).c_str())) {
            ::close(master);
            return 1;
        }
        std::size_t events = 0;
        auto handler = form.ComPort1->OnRxChar;
        form.ComPort1->OnRxChar = [&](Component *sender, std::int32_t count) {
            ++events;
            handler(sender, count);
        };
        auto *view = qtWidget<ReceiveView>(form.MemoReceiveRun);

        runFor(500); // the window settles
        QElapsedTimer clock;
        clock.start();
        double cpu = processCpuSeconds();
        runFor(2000);
        const double idle =
            (processCpuSeconds() - cpu) / (static_cast<double>(clock.nsecsElapsed()) / 1e9);

        app.resetCounts();
        clock.restart();
        cpu = processCpuSeconds();
        const auto threadsBefore = threadCpuByName();
        double farEndCpu = 0;
        {
            const PacedWriter writer(master, data, bps);
            runFor((seconds + 60) * 1000,
                   [&] { return writer.finished() && view->wrapped().size() >= expected; });
            farEndCpu = writer.cpuSeconds();
        }
        const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const double used = processCpuSeconds() - cpu - farEndCpu;
        const bool equal = view->text() == terminal::receivedText(data);
        const double perEvent = static_cast<double>(data.size()) /
                                static_cast<double>(std::max<std::size_t>(events, 1));
        std::printf("  %8d bit/s, %4.1f s: CPU %5.2f %% of one core (idle %4.2f %%), %4.2f %% of"
                    " it in %ld repaints; longest UI event %5.1f ms (%.1f ms of processor);"
                    " %zu receive events of %.0f bytes; text equals the rule: %s\n",
                    bps, wall, 100.0 * used / wall, 100.0 * idle,
                    100.0 * app.repaintCpuSeconds() / wall, app.repaints(), app.longestEventMs(),
                    app.longestEventCpuMs(), events, perEvent, equal ? "yes" : "NO");
        printThreadShares(threadsBefore, wall);
        std::fflush(stdout);
        status = equal ? 0 : 1;
        form.ClosePortRun->click();
    }
    ::close(master);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    const int seconds = std::max(argc > 1 ? std::atoi(argv[1]) : 10, 1);
    std::vector<int> rates;
    for (int i = 2; i < argc; ++i)
        rates.push_back(std::atoi(argv[i]));
    if (rates.empty())
        rates = {115200, 1000000, 3000000};

    std::printf("Steady stream into the test tab, %d s per rate, paced like a line:\n", seconds);
    int status = 0;
    for (int bps : rates)
        status |= stream(app, bps, seconds);
    return status;
}
