// What the test tab's send side costs and how well a file keeps the line's pace. Over a pty
// pair whose far end this benchmark drains: (1) the plain SEND TEXT of a 1000-byte line, one
// byte per write, repeated, in microseconds per click; (2) a file of text lines sent with
// "Send file..." at a rate, its time from the start to the last byte read at the far end
// against the line time (10 bits a byte), and the longest single event the UI thread handled
// meanwhile. A pty has no line of its own: the pace is the program's alone.
// Usage: terminal_send [file KiB, default 1024] [rate in bit/s, default 115200]
#include "app/MainForm.h"

#include "TestTabBench.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#if __has_include("app/terminal/SendRun.h")
#define ZEPHRA_SEND_FILE 1
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Reads the far end until stopped; counts the bytes and keeps the time of the last.
class Drain
{
public:
    explicit Drain(int fd) : m_thread([this, fd] { run(fd); }) {}
    ~Drain()
    {
        m_stop = true;
        m_thread.join();
    }
    Drain(const Drain &) = delete;
    Drain &operator=(const Drain &) = delete;
    std::size_t bytes() const { return m_bytes; }
    Clock::time_point last() const { return Clock::time_point(Clock::duration(m_last.load())); }

private:
    void run(int fd)
    {
        char buffer[65536];
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                m_bytes += static_cast<std::size_t>(n);
                m_last = Clock::now().time_since_epoch().count();
            }
        }
    }
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_bytes{0};
    std::atomic<Clock::rep> m_last{0};
    std::thread m_thread;
};

void runUntil(const std::function<bool()> &done, int limitMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(100);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    [[maybe_unused]] const std::size_t kib =
        static_cast<std::size_t>(std::max(argc > 1 ? std::atoi(argv[1]) : 1024, 1));
    const int rate = std::max(argc > 2 ? std::atoi(argv[2]) : 115200, 300);

    int master = -1, slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) < 0) {
        std::printf("ERROR: no pty\n");
        return 1;
    }
    ::close(slave);
    const BenchPortDirectory directory;
    directory.publish(name);
    TMainForm form;
    if (!openTestTab(form, std::to_string(rate).c_str()))
        return 1;
    const Drain drain(master);

    // (1) SEND TEXT as the defaults leave it.
    form.EditSendRun->setText(std::string(1000, 'x'));
    const int clicks = 200;
    const auto start = Clock::now();
    for (int i = 0; i < clicks; ++i)
        form.SendStringRun->click();
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    runUntil([&] { return drain.bytes() >= 1000u * clicks; }, 60000);
    std::printf("SEND TEXT, 1000 bytes one per write: %.0f us per click, %.2f us per byte\n",
                us / clicks, us / clicks / 1000);

#ifdef ZEPHRA_SEND_FILE
    // (2) A file of text lines at the line's pace.
    std::string lines;
    for (std::size_t line = 0; lines.size() < kib * 1024; ++line)
        lines += "line " + std::to_string(line) + " of the file sent at the line's pace\r\n";
    lines.resize(kib * 1024);
    const auto path = std::filesystem::temp_directory_path() / "zephra-bench-send.txt";
    std::ofstream(path, std::ios::binary) << lines;
    const std::size_t before = drain.bytes();
    app.resetCounts();
    const auto fileStart = Clock::now();
    form.sendRunFile(path.string());
    const double lineSeconds = static_cast<double>(lines.size()) * 10 / rate;
    runUntil([&] { return drain.bytes() >= before + lines.size(); },
             static_cast<int>(lineSeconds * 1000) + 60000);
    const double seconds = std::chrono::duration<double>(drain.last() - fileStart).count();
    std::printf("File of %zu KiB at %d bit/s: %.2f s, line time %.2f s (%+.2f %%); "
                "longest UI event %.1f ms; bytes at the far end %zu of %zu; strip: %s\n",
                kib, rate, seconds, lineSeconds, 100.0 * (seconds - lineSeconds) / lineSeconds,
                app.longestEventMs(), drain.bytes() - before, lines.size(),
                form.SendProgressRun->caption().c_str());
    std::filesystem::remove(path);
#endif
    form.ClosePortRun->click();
    ::close(master);
    return 0;
}
