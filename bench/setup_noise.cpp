// Line noise on the setup tab while "Open" waits for a module that never answers: random bytes
// from the simulated module through a pseudo-terminal into the real window, as the flood tests
// send them (noise full of STX and CR, and noise without STX). Printed for each kind: how long
// "Open" took (its 1.5 s time-out, then seven short waits), how fast the window took the
// noise, the longest time the UI thread went without serving its event loop (how long a click
// would have waited), and the memory the run added.
// Usage: setup_noise [MiB of noise per kind, default 8 and 50]

// Before any Qt header: Qt's "emit" macro would otherwise rewrite a simulator member.
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"
#include "tests/support/FloodSupport.h"
#include "tests/support/Pump.h"

#include "app/MainForm.h"
#include "framework/core/Application.h"

#include "TestTabBench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct NoiseKind
{
    const char *name;
    NoiseFeeder::Shape shape;
};

// One "Open" with total bytes of noise starting inside its first wait; false when the window
// did not take every byte or did not time out.
bool openInNoise(TMainForm &form, SimulatorPort &port, std::size_t total, const NoiseKind &kind)
{
    // The moment the last byte was announced: the noise's own time, apart from Open's.
    QElapsedTimer clock;
    qint64 lastByteNs = 0;
    std::size_t announced = 0;
    const TRxCharEvent handler = form.ComPort1->OnRxChar;
    form.ComPort1->OnRxChar = [&](Component *sender, std::int32_t count) {
        announced += static_cast<std::size_t>(count);
        handler(sender, count);
        if (announced >= total && lastByteNs == 0)
            lastByteNs = clock.nsecsElapsed();
    };

    const MemoryWatch memory;
    const UiStallMeter meter;
    std::unique_ptr<NoiseFeeder> feeder;
    QTimer::singleShot(0, qApp,
                       [&] { feeder = std::make_unique<NoiseFeeder>(port, total, 1, kind.shape); });
    clock.start();
    form.OpenPortSetup->click();
    const double openSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const bool timedOut = form.StatusConnect->text() == "Connect Time-Out";
    const bool whole =
        pumpEvents([&] { return feeder && feeder->finished() && announced >= total; },
                   std::chrono::minutes(10));
    const double seconds = static_cast<double>(lastByteNs) / 1e9;
    std::printf("%s, %zu MiB: Open %.0f ms (%s); noise taken in %.2f s, %.1f MiB/s; longest UI "
                "stall %.1f ms; memory growth %.1f MiB\n",
                kind.name, total / MiB, openSeconds * 1000,
                timedOut ? "time-out shown" : "NO TIME-OUT SHOWN", seconds,
                static_cast<double>(total) / MiB / seconds, meter.longestStallMs(),
                static_cast<double>(memory.growth()) / MiB);
    if (!whole)
        std::printf("  ERROR: %zu of %zu bytes announced\n", announced, total);

    feeder.reset();
    form.ComPort1->OnRxChar = handler;
    form.ClosePortSetup->click();
    return timedOut && whole && announced == total;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::max(1ul, std::strtoul(argv[i], nullptr, 10)));
    if (sizes.empty())
        sizes = {8, 50};

    QApplication qtApplication(argc, argv);
    Application::instance().setExceptionReporter(
        [](const std::string &message, const std::string &) {
            std::fprintf(stderr, "error box: %s\n", message.c_str());
        });
    const BenchPortDirectory directory;
    SimulatedModule module;
    SimulatorFaults silent;
    silent.silent = true;
    module.setFaults(silent);
    SimulatorPort port(module);
    port.publish(directory.path(), "COM1");

    TMainForm form;
    form.show();
    form.ComboPortSetup->onDropDown(form.ComboPortSetup);
    form.ComboPortSetup->choose(0);
    if (!form.OpenPortSetup->enabled()) {
        std::fprintf(stderr, "setup_noise: COM1 is not listed\n");
        return 1;
    }
    const NoiseKind kinds[] = {{"noise with STX and CR", removeReplyLengths},
                               {"noise without STX", removeStx}};
    bool good = true;
    for (const std::size_t mib : sizes) {
        for (const NoiseKind &kind : kinds)
            good = openInNoise(form, port, mib * MiB, kind) && good;
    }
    return good ? 0 : 1;
}
