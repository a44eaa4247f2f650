// Shared by the setup-tab window tests: one main window wired to a simulated module published
// as COM1 (real pty, real port component and event thread), a watchdog that ends a test that
// hangs, and small tools to click a button the way a user does while time is measured, to
// act at a moment inside a running procedure, and to log Timer1's ticks.
// Everything runs on the test's main thread (the UI thread) unless said otherwise.
#pragma once

// Before any Qt header: Qt's "emit" macro would otherwise rewrite a simulator member.
#include "tests/support/SimulatorFixture.h"

#include "tests/app/WindowScenarios.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/Stopwatch.h"
#include "tests/support/Watchdog.h"

#include <QRadioButton>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Faults for the simulated module, all off except what edit switches on.
inline SimulatorFaults faults(const std::function<void(SimulatorFaults &)> &edit)
{
    SimulatorFaults result;
    edit(result);
    return result;
}

class SetupTabTest : public WindowTest
{
protected:
    // How long one test may run before the watchdog ends the program.
    virtual std::chrono::seconds watchdogLimit() const { return std::chrono::seconds(20); }

    void SetUp() override
    {
        m_watchdog = std::make_unique<Watchdog>(watchdogLimit());
        m_simulator = std::make_unique<SimulatorEnvironment>("COM1");
        WindowTest::SetUp();
    }
    void TearDown() override
    {
        // The window closes its port before the module's pty goes away.
        WindowTest::TearDown();
        m_simulator.reset();
        m_watchdog.reset();
    }

    SimulatorEnvironment &simulator() { return *m_simulator; }
    SimulatedModule &module() { return m_simulator->module(); }
    SimulatorPort &port() { return m_simulator->port(); }
    const std::string &portDirectory() const { return m_simulator->portDirectory(); }

    // Drops the setup tab's port list down (which probes the names) and picks name, as a user
    // does; true when the name was listed.
    bool choosePort(const std::string &name = "COM1")
    {
        return choose(form().ComboPortSetup, name);
    }

    // Clicks button and gives the seconds its handler ran (a procedure runs inside it).
    static double clickTimed(Button *button)
    {
        const Stopwatch watch;
        button->click();
        return watch.seconds();
    }

    // Chooses COM1 and runs "Open" to its end; gives its duration in seconds.
    double openSetup()
    {
        EXPECT_TRUE(choosePort());
        return clickTimed(form().OpenPortSetup);
    }

    // Runs action ms from now, from the event loop: inside a running procedure's wait.
    void at(int ms, std::function<void()> action)
    {
        QTimer::singleShot(ms, &qtWindow(form()), std::move(action));
    }

    // Frames the module received, as bytes, once it has taken at least expected of them (or
    // 2 s have passed): the window may end a procedure before the module has read its last
    // command.
    std::vector<std::string> framesReceived(std::size_t expected = 0) const
    {
        m_simulator->module().waitForFrames(expected, std::chrono::seconds(2));
        std::vector<std::string> frames;
        for (const auto &frame : m_simulator->module().receivedFrames())
            frames.push_back(frame.bytes);
        return frames;
    }

    // Records the moment of every Timer1 tick from now on (seconds since the call), then runs
    // the window's own tick handler.
    void logTimerTicks()
    {
        m_tickWatch = Stopwatch();
        m_ticks.clear();
        const auto original = form().Timer1->onTimer;
        form().Timer1->onTimer = [this, original](Timer *sender) {
            m_ticks.push_back(m_tickWatch.seconds());
            original(sender);
        };
    }
    const std::vector<double> &ticks() const { return m_ticks; }

    // Counts the port's receive events from now on, then runs the window's own handler.
    void countReceiveEvents()
    {
        TRxCharEvent original = form().ComPort1->OnRxChar;
        form().ComPort1->OnRxChar = [this, original](Component *sender, std::int32_t count) {
            ++m_receiveEvents;
            original(sender, count);
        };
    }
    int receiveEvents() const { return m_receiveEvents; }

private:
    std::unique_ptr<Watchdog> m_watchdog;
    std::unique_ptr<SimulatorEnvironment> m_simulator;
    Stopwatch m_tickWatch;
    std::vector<double> m_ticks;
    int m_receiveEvents = 0;
};
