// apply --each: the production bench. Each port is a slot on its own thread (BenchSlot); the
// slots share the profile, the receipt log and the output. SIGINT or SIGTERM ends every slot at
// its next exchange or pause, and each port is closed on the way out; a second signal ends the
// program at once. A log that cannot be opened stops the bench before it starts.
#include "cli/BenchSlot.h"
#include "cli/Commands.h"
#include "cli/ReceiptLog.h"
#include "cli/StopSignal.h"

#include <algorithm>
#include <csignal>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

namespace cli {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void requestStop(int)
{
    Bench::stopRequested = true;
}

void installStopHandlers()
{
    onStopRequest(requestStop);
}

std::string joined(const std::vector<std::string> &ports)
{
    std::string text;
    for (const std::string &port : ports)
        text += (text.empty() ? "" : ", ") + port;
    return text;
}

} // namespace

int applyToEach(const std::vector<std::string> &ports, const std::string &profileFile,
                const SettingValues &profile, const std::string &logFile)
{
    std::unique_ptr<ReceiptLog> log;
    if (!logFile.empty()) {
        try {
            log = std::make_unique<ReceiptLog>(logFile);
        } catch (const EReceiptLog &e) {
            std::cerr << "zephra-cli: " << e.message() << "\n";
            return PortError;
        }
        if (log->endedTorn())
            std::cerr << "zephra-cli: the log " << logFile
                      << " ends in a torn line, left by a run that stopped while writing; new "
                         "receipts start on a fresh line."
                      << std::endl;
    }
    installStopHandlers();
    Bench bench(profile, identifyProfile(profileFile), log.get(), ports.size() > 1);
    std::cerr << "Waiting for modules on " << joined(ports) << "; Ctrl+C ends." << std::endl;

    std::vector<std::unique_ptr<BenchSlot>> slots;
    for (const std::string &port : ports)
        slots.push_back(std::make_unique<BenchSlot>(port, bench));
    std::vector<std::thread> threads;
    for (const auto &slot : slots)
        threads.emplace_back(&BenchSlot::run, slot.get());
    for (std::thread &thread : threads)
        thread.join();

    int worst = Done;
    for (const auto &slot : slots) {
        std::cerr << slot->port() << ": " << slot->passes() << " pass, " << slot->fails() << " FAIL"
                  << std::endl;
        worst = std::max(worst, slot->status());
    }
    return bench.logFailed() ? PortError : worst;
}

} // namespace cli
