// The production bench with several slots against one: zephra-cli apply --each with a receipt
// log, as a whole process, against simulated modules that send their replies at 9600 bit/s,
// one module per slot and all plugged in from the start. Each run is timed from the process
// start to the last module's line; the receipts are written to a log in the temporary
// directory. The goal: four slots take at most 1.3 times as long as one.
// Usage: bench_slots [rounds, default 5]
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"
#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Adapter
{
    SimulatedModule module;
    std::unique_ptr<SimulatorPort> port;
};

// Milliseconds from the start of a bench on the first slots ports to its last module line;
// exits the benchmark when a module does not pass.
double runOnce(const std::vector<std::unique_ptr<Adapter>> &adapters, int slots,
               const std::string &profile, const std::string &log)
{
    std::string ports;
    for (int i = 0; i < slots; ++i) {
        adapters[std::size_t(i)]->module.resetSettings();
        ports += (i ? ",COM" : "COM") + std::to_string(i + 1);
    }
    std::filesystem::remove(log);
    const auto start = Clock::now();
    ChildProcess bench(ZEPHRA_CLI_PROGRAM, {"apply", ports, profile, "--each", "--log", log});
    for (int i = 0; i < slots; ++i) {
        const std::string line = bench.line();
        if (line.find("\tpass\t") == std::string::npos) {
            std::fprintf(stderr, "bench_slots: '%s'\n%s\n", line.c_str(), bench.err.c_str());
            std::exit(1);
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    bench.signal(SIGINT);
    bench.finish();
    return ms;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    namespace fs = std::filesystem;
    const fs::path directory =
        fs::temp_directory_path() / ("zephra-slots-bench-" + std::to_string(getpid()));
    fs::create_directories(directory);
    setenv("ZEPHRA_PORTS", directory.c_str(), 1);
    const std::string profile = (directory / "bench.ini").string();
    const std::string log = (directory / "receipts.log").string();
    std::ofstream(profile) << "[ZEPHRA-24]\nbaud=9600\nmode=transmit\nrate=250k\npower=-5\n"
                              "channel=7\nrx-id=AB\ntx-id=CD\n";

    constexpr int MostSlots = 4;
    std::vector<std::unique_ptr<Adapter>> adapters;
    for (int i = 0; i < MostSlots; ++i) {
        auto adapter = std::make_unique<Adapter>();
        SimulatorFaults faults;
        faults.paceBps = 9600;
        adapter->module.setFaults(faults);
        adapter->port = std::make_unique<SimulatorPort>(adapter->module);
        adapter->port->publish(directory.string(), "COM" + std::to_string(i + 1));
        adapters.push_back(std::move(adapter));
    }

    // Interleaved, so that a change of the machine's load touches both alike.
    std::vector<double> one, four;
    for (int i = 0; i < rounds; ++i) {
        one.push_back(runOnce(adapters, 1, profile, log));
        four.push_back(runOnce(adapters, MostSlots, profile, log));
    }
    const double ratio = median(four) / median(one);
    std::printf("modules sending at 9600 bit/s, %d rounds, start to last line, receipts logged\n"
                "  1 slot:  median %.1f ms (lowest %.1f, highest %.1f)\n"
                "  4 slots: median %.1f ms (lowest %.1f, highest %.1f)\n"
                "  ratio %.3f (goal: at most 1.3) %s\n",
                rounds, median(one), *std::min_element(one.begin(), one.end()),
                *std::max_element(one.begin(), one.end()), median(four),
                *std::min_element(four.begin(), four.end()),
                *std::max_element(four.begin(), four.end()), ratio,
                ratio <= 1.3 ? "met" : "NOT MET");
    for (const auto &adapter : adapters)
        adapter->port->unpublish();
    fs::remove_all(directory);
    return ratio <= 1.3 ? 0 : 1;
}
