// zephra-cli's "read" and "apply" as a script runs them, a whole process each time, against the
// simulated module on a pseudo-terminal: once answering at once and once sending its replies at
// 9600 bit/s. Each figure is set beside what it cannot go below: the process start (the time of
// "zephra-cli --version") plus the line time of the bytes the module sends, 10 bits a byte at
// 9600 bit/s. The simulator does not pace the commands (a pty has no line speed), so this is the
// line time of the replies; on a real line the commands add 12 bytes each.
// Usage: cli_exchange [rounds, default 20]
#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"
#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuMs; // CPU time of the last run, user and system

// Wall time of one run in milliseconds; exits the benchmark when the run fails.
double runOnce(const std::vector<std::string> &args)
{
    const auto start = Clock::now();
    ChildProcess run(ZEPHRA_CLI_PROGRAM, args);
    const int status = run.finish();
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    cpuMs = run.cpuMs();
    if (status != 0) {
        std::fprintf(stderr, "zephra-cli %s failed with status %d: %s\n", args[0].c_str(), status,
                     run.err.c_str());
        std::exit(1);
    }
    return wall;
}

// Times of one kind of run, in milliseconds.
struct Samples
{
    std::vector<double> wall, cpu;

    void add(double ms)
    {
        wall.push_back(ms);
        cpu.push_back(cpuMs);
    }
    static double median(std::vector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    double low() const { return *std::min_element(wall.begin(), wall.end()); }
};

// Bytes the module sent during one run, at 9600 bit/s.
double replyLineMs(SimulatorPort &port, const std::vector<std::string> &args)
{
    port.clearSentLog();
    runOnce(args);
    std::size_t bytes = 0;
    for (const std::string &write : port.sentWrites())
        bytes += write.size();
    return bytes * 10.0 * 1000.0 / 9600.0;
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    namespace fs = std::filesystem;
    const fs::path directory =
        fs::temp_directory_path() / ("zephra-cli-bench-" + std::to_string(getpid()));
    fs::create_directories(directory);
    setenv("ZEPHRA_PORTS", directory.c_str(), 1);
    const std::string profile = (directory / "bench.ini").string();
    std::ofstream(profile) << "[ZEPHRA-24]\nbaud=19200\nmode=transmit\nrate=250k\npower=-5\n"
                              "channel=7\nrx-id=AB\ntx-id=CD\n";

    SimulatedModule module;
    SimulatorPort port(module);
    port.publish(directory.string(), "COM1");

    const std::vector<std::string> version = {"--version"};
    const std::vector<std::string> read = {"read", "COM1"};
    const std::vector<std::string> apply = {"apply", "COM1", profile};

    for (const int pace : {0, 9600}) {
        SimulatorFaults faults;
        faults.paceBps = pace;
        module.setFaults(faults);
        const double readLine = pace ? replyLineMs(port, read) : 0.0;
        const double applyLine = pace ? replyLineMs(port, apply) : 0.0;
        // Interleaved, so that a change of the machine's load touches all three alike.
        Samples start, reads, applies;
        for (int i = 0; i < rounds; ++i) {
            start.add(runOnce(version));
            reads.add(runOnce(read));
            applies.add(runOnce(apply));
        }
        const double startMs = Samples::median(start.wall);
        std::printf("module %s, %d rounds; process start (zephra-cli --version) median %.1f ms "
                    "(lowest %.1f), CPU %.1f ms\n",
                    pace ? "sending at 9600 bit/s" : "answering at once", rounds, startMs,
                    start.low(), Samples::median(start.cpu));
        const std::pair<const char *, std::pair<const Samples *, double>> rows[] = {
            {"read", {&reads, readLine}}, {"apply", {&applies, applyLine}}};
        for (const auto &[name, row] : rows) {
            const auto &[samples, line] = row;
            const double median = Samples::median(samples->wall);
            const double bound = startMs + line;
            std::printf("  %-5s median %6.1f ms (lowest %.1f), CPU %.1f ms; start + reply line "
                        "time %.1f + %.1f = %.1f ms; ratio %.3f\n",
                        name, median, samples->low(), Samples::median(samples->cpu), startMs, line,
                        bound, median / bound);
        }
    }
    port.unpublish();
    fs::remove_all(directory);
}
