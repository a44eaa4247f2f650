// apply --each: the production bench loop. A module counts as there once the port opens and
// the module answers the firmware-code read; it counts as gone once the port fails (the
// adapter was unplugged) or the module no longer answers that read (the module was taken off
// an adapter that stays). SIGINT or SIGTERM ends the loop at the next exchange or pause, and
// the port is closed on the way out; a second signal ends the program at once.
#include "cli/Commands.h"

#include "cli/Report.h"
#include "serial/EComPort.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto PollPause = std::chrono::milliseconds(250);

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

void installStopHandlers()
{
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART is needed: nothing here blocks in a system call a signal would end.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

struct Stopped
{
};

// Sleeps for pause unless a stop is requested first; false then.
bool pauseUnlessStopped(Clock::duration pause)
{
    const auto end = Clock::now() + pause;
    while (!stopRequested && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !stopRequested;
}

struct Arrival
{
    std::unique_ptr<ModuleLink> link;
    std::string firmware;
    Clock::time_point start;
};

// Waits until a module answers on port; an empty link when a stop was requested. Each port
// error is shown the first time it happens, so that a port that can never open (no
// permission, held by another program) does not keep the bench waiting in silence.
Arrival waitForModule(const std::string &port, std::string &lastError)
{
    while (!stopRequested) {
        Arrival arrival;
        arrival.start = Clock::now();
        try {
            arrival.link = std::make_unique<ModuleLink>(port);
            arrival.link->setBeforeCommand([] {
                if (stopRequested)
                    throw Stopped{};
            });
            arrival.firmware = arrival.link->readFirmware();
            return arrival;
        } catch (const EComPort &e) {
            if (e.message() != lastError) {
                lastError = e.message();
                std::cerr << portErrorText(e);
            }
        } catch (const NoAnswer &) {
        } catch (const Stopped &) {
            return {};
        }
        arrival.link.reset();
        pauseUnlessStopped(PollPause);
    }
    return {};
}

void waitUntilGone(ModuleLink &link)
{
    try {
        while (pauseUnlessStopped(PollPause))
            link.readFirmware();
    } catch (const EComPort &) {
    } catch (const NoAnswer &) {
    } catch (const Stopped &) {
    }
}

} // namespace

int applyToEach(const std::string &port, const SettingValues &profile)
{
    installStopHandlers();
    std::cerr << "Waiting for modules on " << port << "; Ctrl+C ends." << std::endl;
    int worst = Done;
    std::string lastError;
    try {
        for (;;) {
            Arrival arrival = waitForModule(port, lastError);
            if (!arrival.link)
                break;
            std::string verdict = "pass";
            int status = Done;
            std::vector<std::string> findings;
            try {
                writeAndVerify(*arrival.link, profile, findings);
                if (!findings.empty()) {
                    verdict = "FAIL";
                    status = Mismatch;
                }
            } catch (const NoAnswer &) {
                verdict = "FAIL no answer";
                status = NoReply;
            } catch (const EComPort &) {
                verdict = "FAIL port error";
                status = PortError;
            }
            const double seconds =
                std::chrono::duration<double>(Clock::now() - arrival.start).count();
            std::printf("%s\t%s\t%.2f s\n", firmwareText(arrival.firmware).c_str(), verdict.c_str(),
                        seconds);
            std::fflush(stdout);
            for (const std::string &finding : findings)
                std::cerr << finding << '\n';
            worst = std::max(worst, status);
            if (status != PortError)
                waitUntilGone(*arrival.link);
        }
    } catch (const Stopped &) {
        std::cerr << "Stopped while a module was being configured; it is not verified."
                  << std::endl;
    }
    return worst;
}

} // namespace cli
