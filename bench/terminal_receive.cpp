// How fast the test tab shows received data.
//  1. The receive box alone: random bytes (control bytes included) formatted as the terminal
//     shows them and appended in 4 KiB reads as one unbroken line, for 1, 10 and 50 MiB; the
//     time per MiB over the first and the last five shows whether appending stays linear.
//  2. End to end: the simulated module sends random bytes through a pseudo-terminal to the
//     window's port, which shows them on the test tab; bytes per second shown, the longest
//     time the UI thread could not serve its event loop, peak memory, and whether the text
//     shown equals the display rule applied byte by byte. Then once more with a larger port
//     input queue, which shows what the per-event hand-off costs. Memory growth is the
//     process's during the run; the peak is the process's whole, so the second run's peak
//     includes the first run.
// Usage: terminal_receive [end-to-end MiB, default 10] [--end-to-end: skip the first part]
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"
#include "tests/support/FloodSupport.h"

#include "app/MainForm.h"
#include "framework/widgets/ReceiveView.h"
#include "terminal/ReceiveFormat.h"

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

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

double peakMemoryMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
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
        const std::string text = receivedText(std::string_view(input).substr(at, ReadSize));
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

// inputQueue 0 keeps the window's own port settings; another size shows how far the receive
// event's hand-off, not the box, limits the rate. The module sends the bytes in 1 MiB pieces
// as the window takes them, so that memory growth is the window's own.
int endToEnd(std::size_t mebibytes, std::int32_t inputQueue)
{
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("zephra-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    setenv("ZEPHRA_PORTS", directory.c_str(), 1);

    SimulatedModule module;
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    SimulatorPort port(module);
    port.publish(directory.string(), "COM1");

    int status = 0;
    {
        TMainForm form;
        form.show();
        form.PageControl1->setCurrentIndex(1);
        form.ComboPortRun->onDropDown();
        form.ComboPortRun->setItemIndex(0);
        form.ComboPortRun->onChange();
        form.ComboBaudRun->setEditText("115200");
        if (inputQueue > 0)
            form.ComPort1->Buffer().setInputSize(inputQueue);
        form.OpenPortRun->click();
        if (!form.ComPort1->Connected()) {
            std::printf("  ERROR: the port did not open\n");
            return 1;
        }

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
        const std::size_t total = mebibytes * MiB;
        constexpr unsigned seed = 2;
        const auto piece = [&](std::size_t at) {
            return noisePiece(seed, at / NoiseFeeder::PieceSize,
                              std::min(NoiseFeeder::PieceSize, total - at));
        };
        std::size_t expectedSize = 0;
        for (std::size_t at = 0; at < total; at += NoiseFeeder::PieceSize)
            expectedSize += receivedText(piece(at)).size();
        ReceiveView *view = form.MemoReceiveRun;

        const MemoryWatch memory;
        const UiStallMeter meter;
        QElapsedTimer clock;
        clock.start();
        {
            const NoiseFeeder feeder(port, total, seed);
            runEventLoopUntil([&] { return view->wrapped().size() >= expectedSize; }, 600'000);
        }
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;

        bool equal = view->wrapped().size() == expectedSize;
        std::uint64_t offset = 0;
        for (std::size_t at = 0; equal && at < total; at += NoiseFeeder::PieceSize) {
            const std::string text = receivedText(piece(at));
            equal = view->wrapped().slice(offset, offset + text.size()) == text;
            offset += text.size();
        }
        std::printf("  %zu MiB from the module: %.2f s  %.2f MiB/s shown (%.0f bytes/s)\n",
                    mebibytes, seconds, static_cast<double>(mebibytes) / seconds,
                    static_cast<double>(total) / seconds);
        const double perEvent = static_cast<double>(std::max<std::size_t>(events, 1));
        std::printf("  %zu receive events, %.0f bytes each on average, handled in %.1f us each"
                    " on average (%.0f %% of the run)\n",
                    events, static_cast<double>(total) / perEvent,
                    static_cast<double>(handlerNs) / 1e3 / perEvent,
                    static_cast<double>(handlerNs) / 1e7 / seconds);
        std::printf("  longest time the UI thread did not serve its event loop: %.1f ms"
                    " (longest receive handler %.1f ms)\n",
                    meter.longestStallMs(), static_cast<double>(longestHandlerNs) / 1e6);
        std::printf("  memory growth during the run: %.1f MiB (receive box %.1f MiB for %.1f M"
                    " characters); peak memory of the process %.1f MiB\n",
                    static_cast<double>(memory.growth()) / MiB,
                    static_cast<double>(view->wrapped().memoryUsed()) / MiB,
                    static_cast<double>(expectedSize) / 1e6, peakMemoryMiB());
        std::printf("  text shown equals the per-byte rule: %s\n", equal ? "yes" : "NO");
        status = equal ? 0 : 1;
        form.ClosePortRun->click();
    }
    port.stop();
    std::filesystem::remove_all(directory);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t endToEndMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10;

    if (argc < 3 || std::string(argv[2]) != "--end-to-end") {
        std::printf("Receive box, appending random bytes as one line in %zu-byte reads:\n",
                    ReadSize);
        for (std::size_t mebibytes : {1, 10, 50})
            appendThroughput(mebibytes);
    }
    const std::size_t mebibytes = std::max<std::size_t>(endToEndMiB, 1);
    std::printf("Simulator -> pseudo-terminal -> port -> test tab:\n");
    const int status = endToEnd(mebibytes, 0);
    std::printf("The same with a 64 KiB port input queue instead of the window's setting:\n");
    return endToEnd(mebibytes, 64 * 1024) | status;
}
