// How fast the test tab shows received data.
//  1. The receive box alone: random bytes (control bytes included) formatted as the terminal
//     shows them and appended in 4 KiB reads as one unbroken line, for 1, 10 and 50 MiB; the
//     time per MiB over the first and the last five shows whether appending stays linear.
//  2. End to end, for 10 and 50 MiB: the simulated module sends random bytes through a
//     pseudo-terminal to the window's port, which shows them on the test tab. Before and after
//     that, plain read() takes the same amount from the same pseudo-terminal; the tab's rate is
//     set against the faster of the two. Also printed: the receive events and their sizes, the
//     longest time the UI thread did not serve its event loop, the memory the run added next to
//     the receive box's own text, and whether the text shown equals the display rule applied
//     byte by byte. Each size runs in a process of its own, so that its memory figures are its
//     own.
// With ZEPHRA_BENCH_HEX_STAMPS set, the tab shows the hex view with time-of-day stamps.
// Usage: terminal_receive [--end-to-end: skip the first part] [end-to-end MiB ..., default 10 50]
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FloodSupport.h"
#include "tests/support/Pump.h"

#include "app/MainForm.h"
#include "framework/qt/ReceiveView.h"
#include "terminal/ReceivedText.h"

#include "TestTabBench.h"

#include <QApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t ReadSize = 4096;

std::string randomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

void setBoxFont(QWidget &widget)
{
    QFont font("Courier New");
    font.setPixelSize(16);
    font.setBold(true);
    widget.setFont(font);
}

void appendThroughput(std::size_t mebibytes)
{
    ReceiveView view;
    setBoxFont(view);
    view.resize(609, 121);
    view.show();
    const std::string input = randomBytes(mebibytes * MiB, 1);

    // Time per MiB of input, to compare the start with the end.
    std::vector<double> perMiBms;
    QElapsedTimer clock;
    clock.start();
    qint64 mibStart = clock.nsecsElapsed();
    std::size_t shown = 0;
    for (std::size_t at = 0; at < input.size(); at += ReadSize) {
        const std::string text =
            terminal::receivedText(std::string_view(input).substr(at, ReadSize));
        shown += text.size();
        view.append(text);
        // Let the batched repaints happen as the event loop would between reads.
        if ((at / ReadSize) % 16 == 15)
            QCoreApplication::processEvents();
        if ((at + ReadSize) % MiB == 0) {
            perMiBms.push_back(static_cast<double>(clock.nsecsElapsed() - mibStart) / 1e6);
            mibStart = clock.nsecsElapsed();
        }
    }
    QCoreApplication::processEvents();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const std::size_t edge = std::min<std::size_t>(5, perMiBms.size());
    const auto average = [](auto from, auto to) {
        return std::accumulate(from, to, 0.0) / static_cast<double>(to - from);
    };
    std::printf("  %3zu MiB: %6.2f s %7.1f MiB/s in %7.1f M chars/s shown; ms per MiB: first %zu"
                " %5.1f, last %zu %5.1f; rows %llu; box memory %.1f MiB\n",
                mebibytes, seconds, static_cast<double>(mebibytes) / seconds,
                static_cast<double>(shown) / seconds / 1e6, edge,
                average(perMiBms.begin(), perMiBms.begin() + edge), edge,
                average(perMiBms.end() - edge, perMiBms.end()),
                static_cast<unsigned long long>(view.wrapped().rowCount()),
                static_cast<double>(view.wrapped().memoryUsed()) / MiB);
    if (view.text().size() != shown)
        std::printf("  ERROR: the box holds %zu characters, %zu were appended\n",
                    view.text().size(), shown);
}

constexpr unsigned Seed = 2;

// Processor time since `before` of the port's threads ("comm-..."): the window's share besides
// its UI thread; the far end's threads are the simulator's.
double windowPortCpuSeconds(const std::map<std::string, double> &before)
{
    double seconds = 0;
    for (const auto &[name, now] : threadCpuByName()) {
        if (name.rfind("comm-", 0) != 0)
            continue;
        const auto was = before.find(name);
        seconds += now - (was == before.end() ? 0.0 : was->second);
    }
    return seconds;
}

// Bytes per second that plain read() takes the module's flood at from the same pty, raw.
double plainRead(SimulatorPort &port, std::size_t total)
{
    const int fd = ::open(port.slavePath().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return 0;
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &raw);
    std::vector<char> buffer(64 * 1024);
    QElapsedTimer clock;
    clock.start();
    std::size_t got = 0;
    {
        const NoiseFeeder feeder(port, total, Seed);
        while (got < total) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    ::close(fd);
    return got == total ? static_cast<double>(total) / seconds : 0;
}

// The module sends the bytes in 1 MiB pieces as the window takes them, so that memory growth
// is the window's own. Returns the rate shown in bytes per second, 0 when the text was wrong.
double endToEnd(SimulatorPort &port, std::size_t total, bool &equal)
{
    TMainForm form;
    if (!openTestTab(form, "115200"))
        return 0;

    // Count the receive events, to show how many bytes each one brings, and time the
    // longest: the window's own share of any stall (the rest is waiting for the processor).
    std::size_t events = 0;
    qint64 longestHandlerNs = 0;
    qint64 handlerNs = 0;
    auto handler = form.ComPort1->OnRxChar;
    form.ComPort1->OnRxChar = [&](Component *sender, std::int32_t count) {
        ++events;
        QElapsedTimer handlerClock;
        handlerClock.start();
        handler(sender, count);
        const qint64 spent = handlerClock.nsecsElapsed();
        handlerNs += spent;
        longestHandlerNs = std::max(longestHandlerNs, spent);
    };
    const auto piece = [&](std::size_t at) {
        return noisePiece(Seed, at / NoiseFeeder::PieceSize,
                          std::min(NoiseFeeder::PieceSize, total - at));
    };
    std::size_t expectedSize = 0;
    for (std::size_t at = 0; at < total; at += NoiseFeeder::PieceSize)
        expectedSize += terminal::receivedText(piece(at)).size();
    auto *view = qtWidget<ReceiveView>(form.MemoReceiveRun);
    // In the hex view with time-of-day stamps, the flood has ended when the byte counter
    // (shown every 80 ms) has it all; the text is not compared.
    const bool hexStamps = qEnvironmentVariableIsSet("ZEPHRA_BENCH_HEX_STAMPS");
    const std::string allCounted = "RX " + std::to_string(total) + "  TX 0";
    if (hexStamps) {
        form.MemoReceiveRun->choose(0, 2);
        form.MemoReceiveRun->choose(1, 1);
    }

    const MemoryWatch memory;
    const UiStallMeter meter;
    const auto threadsBefore = threadCpuByName();
    const double uiBefore = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    {
        const NoiseFeeder feeder(port, total, Seed);
        pumpEvents(
            [&] {
                return hexStamps ? form.CountersRun->caption() == allCounted
                                 : view->wrapped().size() >= expectedSize;
            },
            600s);
    }
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double uiCpu = threadCpuSeconds() - uiBefore;
    const double portCpu = windowPortCpuSeconds(threadsBefore);

    equal = hexStamps || view->wrapped().size() == expectedSize;
    std::uint64_t offset = 0;
    for (std::size_t at = 0; equal && !hexStamps && at < total; at += NoiseFeeder::PieceSize) {
        const std::string text = terminal::receivedText(piece(at));
        equal = view->wrapped().slice(offset, offset + text.size()) == text;
        offset += text.size();
    }
    const double perEvent = static_cast<double>(std::max<std::size_t>(events, 1));
    std::printf("  test tab: %.2f s, %.1f MiB/s shown; %zu receive events, %.0f bytes each on"
                " average, handled in %.1f us each on average (%.0f %% of the run)\n",
                seconds, static_cast<double>(total) / MiB / seconds, events,
                static_cast<double>(total) / perEvent,
                static_cast<double>(handlerNs) / 1e3 / perEvent,
                static_cast<double>(handlerNs) / 1e7 / seconds);
    std::printf("  the window's processor time: %.3f s per 10 MiB (UI thread %.3f s, port threads"
                " %.3f s)\n",
                (uiCpu + portCpu) * 10 * MiB / static_cast<double>(total), uiCpu, portCpu);
    std::printf("  longest time the UI thread did not serve its event loop: %.1f ms"
                " (longest receive handler %.1f ms)\n",
                meter.longestStallMs(), static_cast<double>(longestHandlerNs) / 1e6);
    const double text = static_cast<double>(expectedSize);
    std::printf("  memory: the run added %.1f MiB resident for %.1f MiB of text in the receive"
                " box (%.2f x; the box holds %.1f MiB with its row index)\n",
                static_cast<double>(memory.growth()) / MiB, text / MiB,
                static_cast<double>(memory.growth()) / text,
                static_cast<double>(view->wrapped().memoryUsed()) / MiB);
    std::printf("  text shown equals the per-byte rule: %s\n", equal ? "yes" : "NO");
    form.ClosePortRun->click();
    return equal ? static_cast<double>(total) / seconds : 0;
}

// Plain read(), the test tab, plain read() again, all on one pty in this process.
int compareWithPlainRead(std::size_t mebibytes)
{
    const BenchPortDirectory directory;
    SimulatedModule module;
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    SimulatorPort port(module);
    port.publish(directory.path(), "COM1");
    const std::size_t total = mebibytes * MiB;

    std::printf("%zu MiB, simulator -> pseudo-terminal -> ...\n", mebibytes);
    const double plainBefore = plainRead(port, total);
    bool equal = false;
    const double tab = endToEnd(port, total, equal);
    const double plainAfter = plainRead(port, total);
    port.stop();
    const double plain = std::max(plainBefore, plainAfter);
    std::printf("  plain read(): %.1f MiB/s before, %.1f MiB/s after\n", plainBefore / MiB,
                plainAfter / MiB);
    std::printf("  => test tab %.1f MiB/s against plain read() %.1f MiB/s: %.2f of it\n", tab / MiB,
                plain / MiB, plain > 0 ? tab / plain : 0.0);
    std::fflush(stdout);
    return equal && plain > 0 ? 0 : 1;
}

// Runs this program again for one end-to-end size, so that each has a process of its own.
int runChild(std::size_t mebibytes)
{
    ChildProcess child("/proc/self/exe", {"--one", std::to_string(mebibytes)});
    const int status = child.finish(std::chrono::hours(1));
    std::fputs(child.out.c_str(), stdout);
    std::fputs(child.err.c_str(), stderr);
    return status == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--one")
        return compareWithPlainRead(
            std::max<std::size_t>(std::strtoul(args[1].c_str(), nullptr, 10), 1));

    std::size_t first = 0;
    if (args.empty() || args[0] != "--end-to-end") {
        std::printf("Receive box, appending random bytes as one line in %zu-byte reads:\n",
                    ReadSize);
        for (std::size_t mebibytes : {1, 10, 50})
            appendThroughput(mebibytes);
    } else {
        first = 1;
    }
    std::vector<std::size_t> sizes;
    for (std::size_t i = first; i < args.size(); ++i)
        sizes.push_back(std::max<std::size_t>(std::strtoul(args[i].c_str(), nullptr, 10), 1));
    if (sizes.empty())
        sizes = {10, 50};
    std::fflush(stdout);
    int status = 0;
    for (std::size_t mebibytes : sizes)
        status |= runChild(mebibytes);
    return status;
}
