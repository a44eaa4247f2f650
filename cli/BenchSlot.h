// One slot of the production bench: one adapter, on which modules are plugged in one after
// the other. The slot waits until a module answers the firmware-code read, reads its seven
// settings, writes the profile and verifies it, appends the module's receipt to the log, prints
// its line, and then waits until the module is gone before it takes the next one: a module that
// stays plugged in is configured once. A module counts as gone when it stops answering or when
// the port fails.
//
// A port that fails means the adapter went away (unplugged, or reset by a hub). The slot says
// "adapter gone" and waits for the same adapter: by its by-path name when it has one, whatever
// ttyUSB number and COM name it comes back under; else by its COM name. A module whose
// configuration the loss cut short gets its FAIL line and no receipt.
//
// Each slot runs on its own thread with its own port; what the slots share is the Bench.
#pragma once

#include "cli/ModuleLink.h"
#include "cli/Receipt.h"
#include "serial/AdapterNames.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

class ReceiptLog;

namespace cli {

// What the slots of one bench share: the profile, the log, the output and the stop.
class Bench
{
public:
    Bench(SettingValues profile, ProfileId profileId, ReceiptLog *log, bool labelled)
        : m_profile(std::move(profile)), m_profileId(std::move(profileId)), m_log(log),
          m_labelled(labelled)
    {}

    const SettingValues &profile() const { return m_profile; }
    const ProfileId &profileId() const { return m_profileId; }
    ReceiptLog *log() const { return m_log; }

    // One line on standard output / standard error, whole, with the slot's name in front when
    // the bench has several slots.
    void print(const std::string &slot, const std::string &line);
    void say(const std::string &slot, const std::string &line);

    // Set from the signal handler, or when the log fails; every slot ends at its next exchange
    // or pause.
    static std::atomic<bool> stopRequested;
    static bool stopping() { return stopRequested.load(); }
    void stopForLog(const std::string &reason);
    bool logFailed() const { return m_logFailed; }

private:
    SettingValues m_profile;
    ProfileId m_profileId;
    ReceiptLog *m_log;
    bool m_labelled;
    std::mutex m_outputMutex;
    std::atomic<bool> m_logFailed{false};
};

class BenchSlot
{
public:
    BenchSlot(std::string port, Bench &bench) : m_port(std::move(port)), m_bench(bench) {}

    // Serves modules until the bench stops.
    void run();

    const std::string &port() const { return m_port; }
    int passes() const { return m_passes; }
    int fails() const { return m_fails; }
    // The worst exit status of the slot's modules.
    int status() const { return m_status; }

private:
    using Clock = std::chrono::steady_clock;

    // Opens the slot's adapter, waiting until it is there.
    std::unique_ptr<ModuleLink> connect();
    // Module after module on an open adapter, until its port fails (EComPort).
    void serve(ModuleLink &link);
    void configure(ModuleLink &link, const std::string &firmware, Clock::time_point start);
    // The module's line, and its count.
    void finish(const std::string &firmware, const std::string &verdict, int status,
                double seconds);
    void say(const std::string &line) { m_bench.say(m_port, line); }

    std::string m_port;    // the slot's name: the COM name it was given
    std::string m_current; // the COM name its adapter is open under
    AdapterNames m_names;  // its adapter, as last seen
    bool m_lost = false;   // the adapter went away and has not come back
    bool m_busy = false;   // a module is being configured
    Bench &m_bench;
    int m_passes = 0;
    int m_fails = 0;
    int m_status = 0;
};

} // namespace cli
