// Shared by the serial port tests: the Qt core application the framework needs, a sink for
// the application's exception report, pumping the UI thread until a condition holds, and a
// pty pair published as a COM name whose far end the test drives.
#pragma once

#include "framework/core/Application.h"
#include "platform/posix/LineStatus.h"
#include "serial/ComPort.h"
#include "tests/support/PtyPair.h"

#include <QCoreApplication>

#include <atomic>
#include <memory>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <termios.h>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "serial_test";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    (void)app;
}

// Records what the application's exception report shows, for the life of the object.
class ReportSink
{
public:
    ReportSink()
    {
        ensureApplication();
        m_previous = Application::instance().setExceptionReporter(
            [this](const std::string &message) { messages.push_back(message); });
    }
    ~ReportSink() { Application::instance().setExceptionReporter(m_previous); }

    std::vector<std::string> messages; // UI thread only

private:
    Application::ExceptionReporter m_previous;
};

// Pumps the UI thread until done() holds or the time is up; exceptions that ProcessMessages
// re-throws are collected in thrown. Returns done().
inline bool pumpUntil(const std::function<bool()> &done, std::vector<std::string> *thrown = nullptr,
                      std::chrono::milliseconds limit = 5000ms)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        try {
            Application::instance().ProcessMessages();
        } catch (...) {
            if (thrown)
                thrown->push_back(Application::messageOf(std::current_exception()));
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Pumps for a while regardless, so that late (unwanted) calls would show.
inline void pumpFor(std::chrono::milliseconds time, std::vector<std::string> *thrown = nullptr)
{
    pumpUntil([] { return false; }, thrown, time);
}

// Waits without pumping.
inline bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = 5000ms)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// A pty pair published as COM7 in a port directory of its own.
struct PublishedPty
{
    PortDirectory directory;
    PtyPair pty;
    std::string name = directory.publish(pty, 7);

    speed_t slaveSpeed() const
    {
        termios settings{};
        tcgetattr(pty.slave(), &settings);
        return cfgetospeed(&settings);
    }
};

// Modem lines and line-error counters a pty cannot show, under the test's control. Installed
// for ports opened while the object lives.
struct FakeLineState
{
    std::atomic<DWORD> modem{0}; // MS_*_ON bits
    std::atomic<std::uint32_t> parity{0};
    std::atomic<std::uint32_t> frame{0};
};

class FakeLine : public LineStatus
{
public:
    explicit FakeLine(std::shared_ptr<FakeLineState> state) : m_state(std::move(state)) {}
    int modemLines(DWORD &msBits) override
    {
        msBits = m_state->modem;
        return 0;
    }
    int errorCounters(LineCounters &counters) override
    {
        counters.parity = m_state->parity;
        counters.frame = m_state->frame;
        return 0;
    }
    int setDtr(bool) override { return 0; }
    int setRts(bool) override { return 0; }

private:
    std::shared_ptr<FakeLineState> m_state;
};

class FakeLineInstaller
{
public:
    std::shared_ptr<FakeLineState> state = std::make_shared<FakeLineState>();

    FakeLineInstaller()
    {
        setLineStatusFactory([s = state](int) { return std::make_unique<FakeLine>(s); });
    }
    ~FakeLineInstaller() { setLineStatusFactory({}); }
};

// Records the port's open/close notifications as text ("BeforeOpen", "CTS:1", ...), with
// whether the port was Connected at each. Assign while the port is closed.
struct NotificationLog
{
    std::vector<std::string> entries;

    void attach(TCustomComPort &port)
    {
        auto note = [this, &port](const std::string &what) {
            entries.push_back(what + (port.Connected() ? "" : " (closed)"));
        };
        port.OnBeforeOpen = [note](Component *) { note("BeforeOpen"); };
        port.OnAfterOpen = [note](Component *) { note("AfterOpen"); };
        port.OnBeforeClose = [note](Component *) { note("BeforeClose"); };
        port.OnAfterClose = [note](Component *) { note("AfterClose"); };
        port.OnCTSChange = [note](Component *, bool on) { note(on ? "CTS:1" : "CTS:0"); };
        port.OnDSRChange = [note](Component *, bool on) { note(on ? "DSR:1" : "DSR:0"); };
        port.OnRLSDChange = [note](Component *, bool on) { note(on ? "RLSD:1" : "RLSD:0"); };
    }
    std::vector<std::string> take() { return std::exchange(entries, {}); }
};

// How many descriptors and threads the process has now.
inline int entriesIn(const char *directory)
{
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}
inline int openDescriptorCount()
{
    return entriesIn("/proc/self/fd");
}
inline int threadCount()
{
    return entriesIn("/proc/self/task");
}
