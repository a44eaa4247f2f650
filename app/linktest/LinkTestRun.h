// One run of the link test tab on the window's port: the engine (the one zephra-cli link uses
// with one port), the run's clock, the write in progress and what the run has read. Lives from
// "Start" until the next "Start", so its figures and packet records can still be saved after
// the test has ended. UI thread only.
#pragma once

#include "link/LinkDirection.h"
#include "serial/ComTransfer.h"

#include <chrono>
#include <cstdint>
#include <string>

struct LinkTestRun
{
    LinkTestRun(const radio::LinkPlan &plan, std::string portName)
        : link(plan), port(std::move(portName)), write(NewTransfer())
    {}
    ~LinkTestRun() { DisposeTransfer(write); }
    LinkTestRun(const LinkTestRun &) = delete;
    LinkTestRun &operator=(const LinkTestRun &) = delete;

    // The run's clock: time since the run was made.
    radio::LinkTime now() const
    {
        return std::chrono::duration_cast<radio::LinkTime>(std::chrono::steady_clock::now() -
                                                           start);
    }

    radio::LinkDirection link;
    std::string port;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    // The packets being written: StartWrite reads them until the transfer is waited for.
    TPortTransfer *write;
    std::string writing;
    std::string reading;
    std::uint64_t bytesReceived = 0;
    // The port is open for this run; false once the run has ended.
    bool holdsPort = true;
    // "Stop" had the focus when it was pressed.
    bool stopFocused = false;
    // When the figures were last shown, on the run's clock.
    radio::LinkTime shown = -std::chrono::seconds(1);
};
