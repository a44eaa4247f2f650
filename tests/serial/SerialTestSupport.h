// Shared by the serial port tests: a pty pair published as a COM name, a fake for the modem
// lines and error counters, and the threads of this process.
#pragma once

#include "framework/core/Application.h"
#include "platform/posix/LineStatus.h"
#include "serial/ComPort.h"
#include "tests/support/LiveThreads.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using Texts = std::vector<std::string>;

// A pty pair published as COM7 in a port directory of its own.
struct PublishedPty
{
    PortDirectory directory;
    PtyPair pty;
    std::string name = directory.publish(pty, 7);
};

// Modem lines and error counters a pty cannot show, for ports opened while it is installed.
struct FakeLineState
{
    std::atomic<DWORD> modem{0}; // MS_*_ON bits
    std::atomic<std::uint32_t> parity{0};
    std::atomic<std::uint32_t> frame{0};
    std::atomic<bool> dtr{false}, rts{false}, brk{false}; // the outputs as last set
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
    int setDtr(bool on) override { return (m_state->dtr = on), 0; }
    int setRts(bool on) override { return (m_state->rts = on), 0; }
    int setBreak(bool on) override { return (m_state->brk = on), 0; }

private:
    std::shared_ptr<FakeLineState> m_state;
};

struct FakeLineInstaller
{
    std::shared_ptr<FakeLineState> state = std::make_shared<FakeLineState>();
    FakeLineInstaller()
    {
        setLineStatusFactory([s = state](int) { return std::make_unique<FakeLine>(s); });
    }
    ~FakeLineInstaller() { setLineStatusFactory({}); }
};

// The live threads of this process. A thread started and joined before the first count lets
// a runtime that adds a helper thread at the process's first thread start (ThreadSanitizer
// does) add it now, so that two counts differ only by the threads the test made.
inline int processThreads()
{
    static const bool settled = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)settled;
    return liveThreads();
}
