#include "serial/ComThread.h"

#include "framework/core/Exception.h"
#include "framework/core/UiCallQueue.h"
#include "serial/ComPort.h"

#include "SerialTestSupport.h"
#include "tests/support/Activity.h"

#include <ctime>
#include <mutex>

namespace {

// What handlers saw; filled on whichever thread the handlers run.
class Recorder
{
public:
    void add(std::string entry)
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(std::move(entry));
    }
    Texts entries() const
    {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }
    std::size_t size() const { return entries().size(); }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
    }

private:
    mutable std::mutex m_mutex;
    Texts m_entries;
};

// A port that shows the messages its window receives.
class WindowPort : public TComPort
{
public:
    Recorder messages;
    LRESULT HandlePortMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.add(std::to_string(message) + ":" + std::to_string(wParam));
        return TComPort::HandlePortMessage(message, wParam, lParam);
    }
};

class EventThreadTest : public ::testing::Test
{
protected:
    ReportSink sink;
    FakeLineInstaller line;
    PublishedPty device;
    Recorder seen;
    Texts thrown;

    void prepare(TComPort &port, TSyncMethod mode)
    {
        port.setPort(device.name);
        port.setSyncMethod(mode);
    }
    // What reached the UI thread as an exception, thrown or reported.
    Texts failures() const
    {
        Texts all = thrown;
        all.insert(all.end(), sink.messages().begin(), sink.messages().end());
        return all;
    }
    // The reaction handler that reads exactly Count bytes and records them.
    TRxCharEvent reader(TComPort &port)
    {
        return [this, &port](Component *, std::int32_t count) {
            std::string chunk;
            port.ReadStr(chunk, count);
            seen.add(chunk);
        };
    }
};

bool uiCallWaiting()
{
    return !UiCallQueue::instance().empty();
}

} // namespace

class EveryMode : public EventThreadTest, public ::testing::WithParamInterface<TSyncMethod>
{
};

static std::string modeName(const ::testing::TestParamInfo<TSyncMethod> &info)
{
    static const char *const names[] = {"ThreadSync", "WindowSync", "None"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(SyncMethods, EveryMode,
                         ::testing::Values(smThreadSync, smWindowSync, smNone), modeName);

TEST_P(EveryMode, CountsOfABurstAddUpToTheBytesSent)
{
    std::string sent(100 * 1024, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>(i * 7 % 251);
    TComPort port;
    prepare(port, GetParam());
    std::mutex mutex;
    std::string received;
    std::atomic<int> badCounts{0};
    port.OnRxChar = [&](Component *, std::int32_t count) {
        std::string chunk;
        if (count <= 0 || port.ReadStr(chunk, count) != count)
            ++badCounts;
        std::lock_guard lock(mutex);
        received += chunk;
    };
    port.Open();
    std::thread farEnd([&] { device.pty.writeAll(sent); });
    auto receivedSize = [&] {
        std::lock_guard lock(mutex);
        return received.size();
    };
    EXPECT_TRUE(pumpMessages([&] { return receivedSize() >= sent.size(); }, 20s, &thrown));
    farEnd.join();
    pumpMessages(never, 50ms, &thrown);
    port.Close();
    EXPECT_TRUE(received == sent) << "bytes lost, doubled or reordered";
    EXPECT_EQ(badCounts, 0) << "a count of 0, or one the queue did not hold";
    EXPECT_TRUE(failures().empty());
}

TEST_P(EveryMode, HandlerExceptionReachesTheUiThreadAndEventsGoOn)
{
    TComPort port;
    prepare(port, GetParam());
    port.OnRxChar = [&, read = reader(port)](Component *sender, std::int32_t count) {
        read(sender, count);
        if (seen.size() == 1)
            throw Exception("handler failed");
    };
    port.Open();
    device.pty.writeAll("first");
    ASSERT_TRUE(pumpMessages([&] { return !failures().empty(); }, 5s, &thrown));
    EXPECT_EQ(failures(), (Texts{"handler failed"}));
    for (const char *more : {"second", "third"}) {
        device.pty.writeAll(more);
        ASSERT_TRUE(pumpMessages([&] { return seen.entries().back() == more; }, 5s, &thrown))
            << "the event thread stopped";
    }
    port.Close();
}

TEST_P(EveryMode, RepeatedOpenAndCloseWithTrafficLeavesNothingBehind)
{
    const int descriptors = openDescriptors();
    const int threads = processThreads();
    TComPort port;
    prepare(port, GetParam());
    port.OnRxChar = reader(port);
    for (int cycle = 0; cycle < 500; ++cycle) {
        seen.clear();
        port.Open();
        device.pty.writeAll("ping");
        ASSERT_EQ(port.Write("pong", 4), 4);
        if (cycle % 2 == 0) { // odd cycles close with the traffic still in flight
            ASSERT_TRUE(pumpMessages([&] { return seen.size() == 1; }, 5s, &thrown)) << cycle;
            ASSERT_EQ(seen.entries(), (Texts{"ping"}));
            ASSERT_EQ(device.pty.readSome(4, 2s), "pong");
        }
        port.Close();
        device.pty.drain();
    }
    pumpMessages(never, 20ms, &thrown);
    EXPECT_TRUE(failures().empty());
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_TRUE(waitFor([&] { return processThreads() == threads; }));
}

TEST_F(EventThreadTest, LineErrorsAreReportedBeforeTheBytesOfTheSameWait)
{
    TComPort port;
    prepare(port, smThreadSync);
    port.Parity().setCheck(true);
    port.OnCTSChange = [&](Component *, bool on) { seen.add(on ? "CTS:1" : "CTS:0"); };
    port.OnRxChar = [&](Component *, std::int32_t count) {
        seen.add("Rx:" + std::to_string(count));
    };
    port.OnError = [&](Component *, TComErrors errors) {
        seen.add(errors == TComErrors{erParity} ? "Err:parity" : "Err:other");
    };
    port.Open();
    seen.clear();
    // The reaction to a line change waits for the UI thread, which does not pump yet: an error
    // and a byte come meanwhile and complete the next wait together. Counting the byte first
    // would clear the error flag before it is read.
    line.state->modem = MS_CTS_ON;
    ASSERT_TRUE(waitFor(uiCallWaiting));
    line.state->parity += 1;
    device.pty.writeAll("b");
    std::this_thread::sleep_for(300ms); // the device notices both meanwhile
    EXPECT_EQ(seen.size(), 0u);
    ASSERT_TRUE(pumpMessages([&] { return seen.size() >= 3; }, 5s, &thrown));
    pumpMessages(never, 100ms, &thrown);
    EXPECT_EQ(seen.entries(), (Texts{"CTS:1", "Err:parity", "Rx:1"}));
}

TEST_F(EventThreadTest, BytesArrivingWhileTheUiThreadIsBusyAreCountedLater)
{
    TComPort port;
    prepare(port, smThreadSync);
    port.OnRxChar = reader(port);
    port.Open();
    device.pty.writeAll("a");
    ASSERT_TRUE(waitFor(uiCallWaiting));
    // Eight times the input queue the port asks for: the device's queue holds it all.
    ASSERT_EQ(port.Buffer().InputSize(), 1024);
    const std::string burst(8 * 1024, 'b');
    device.pty.writeAll(burst);
    EXPECT_TRUE(waitFor([&] { return port.InputQueueCount() == 1 + 8 * 1024; }))
        << "bytes wait queued";
    pumpMessages(never, 200ms, &thrown);
    // The pending reaction takes them all; the wait the burst completed finds nothing left.
    EXPECT_EQ(seen.entries(), (Texts{"a" + burst}));
}

TEST_F(EventThreadTest, CloseServesAPendingCallOrMessage)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        SCOPED_TRACE(mode == smThreadSync ? "thread sync" : "window sync");
        seen.clear();
        sink.clear();
        line.state->modem = 0;
        TComPort port;
        prepare(port, mode);
        // A line change, not bytes: in window-sync mode the event thread is released before
        // the reaction runs, and its stop then purges the input queue.
        port.OnCTSChange = [&](Component *, bool on) {
            if (!on)
                return; // the open and close reports
            seen.add(port.Connected() ? "while connected" : "after close");
            throw Exception("failed during close");
        };
        port.Open();
        line.state->modem = MS_CTS_ON;
        ASSERT_TRUE(waitFor(uiCallWaiting));
        const auto start = std::chrono::steady_clock::now();
        port.Close();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_EQ(seen.entries(), (Texts{"while connected"}));
        // Close cannot throw what the handler raised: it is reported.
        EXPECT_EQ(sink.messages(), (Texts{"failed during close."}));
    }
}

TEST_F(EventThreadTest, AHandlerMayCloseThePort)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        TComPort port;
        prepare(port, mode);
        port.OnRxChar = [&](Component *, std::int32_t) { port.Close(); };
        port.Open();
        device.pty.writeAll("x");
        ASSERT_TRUE(pumpMessages([&] { return !port.Connected(); }, 5s, &thrown)) << mode;
        pumpMessages(never, 50ms, &thrown);
    }
    EXPECT_TRUE(failures().empty());
}

TEST_F(EventThreadTest, WindowSyncSendsOneMessagePerEventWithItsCode)
{
    WindowPort port;
    prepare(port, smWindowSync);
    port.setEvents({evRxChar, evTxEmpty, evCTS, evDSR});
    port.OnCTSChange = [&](Component *, bool on) { seen.add(on ? "CTS:1" : "CTS:0"); };
    port.OnDSRChange = [&](Component *, bool on) { seen.add(on ? "DSR:1" : "DSR:0"); };
    port.OnRxChar = reader(port);
    port.OnTxEmpty = [&](Component *) { seen.add("TxEmpty"); };
    port.Open();
    seen.clear(); // the after-open reports come straight from Open

    line.state->modem = MS_CTS_ON | MS_DSR_ON;
    ASSERT_TRUE(pumpMessages([&] { return seen.size() == 2; }, 5s, &thrown));
    device.pty.writeAll("abc");
    ASSERT_TRUE(pumpMessages([&] { return seen.size() == 3; }, 5s, &thrown));
    port.Write("z", 1);
    ASSERT_TRUE(pumpMessages([&] { return seen.size() == 4; }, 5s, &thrown));
    pumpMessages(never, 100ms, &thrown);
    EXPECT_EQ(port.messages.entries(), (Texts{"1025:8", "1025:16", "1025:1", "1025:4"}));
    EXPECT_EQ(seen.entries(), (Texts{"CTS:1", "DSR:1", "abc", "TxEmpty"}));
    port.Close();
    seen.clear();

    device.pty.writeAll("late");
    EXPECT_EQ(port.HandlePortMessage(PortEventMessage, EV_RXCHAR, 0), 0);
    EXPECT_EQ(seen.size(), 0u) << "a message after the close is ignored";
    EXPECT_TRUE(failures().empty()) << "the closed device was not queried";
}

TEST_P(EveryMode, VanishedDeviceIsReportedOnceAsTheFailedWaitWithoutSpinning)
{
    TComPort port;
    prepare(port, GetParam());
    port.OnRxChar = reader(port);
    port.Open();
    device.pty.closeMaster();
    ASSERT_TRUE(pumpMessages([&] { return !failures().empty(); }, 3s, &thrown));
    pumpMessages(never, 300ms, &thrown);
    // The pumping wakes this thread; the port's event thread must sleep meanwhile.
    const Activity before = Activity::others();
    pumpMessages(never, 500ms, &thrown);
    const Activity idle = Activity::others().since(before);
    EXPECT_LT(idle.wakeups, 20) << "threads woke " << idle.wakeups << " times in 0.5 s";
    EXPECT_LT(idle.cpuSeconds, 0.25) << "something spins";
    EXPECT_EQ(failures(), Texts{"WaitForEvent method failed (win error code: 31)"});
    EXPECT_EQ(seen.size(), 0u);
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(failures().size(), 1u);
}

TEST_F(EventThreadTest, TheLineObserverHearsTheLinesAtOpenARingAndTheClose)
{
    TComPort port;
    prepare(port, smThreadSync);
    port.OnLineChange = [&](Component *, TLineSignal line, bool on) {
        seen.add(std::string(1, "CDRL"[line]) + (on ? ":1" : ":0"));
    };
    line.state->modem = MS_CTS_ON;
    port.Open();
    line.state->modem = MS_CTS_ON | MS_RING_ON;
    ASSERT_TRUE(pumpMessages([&] { return seen.size() >= 4; }, 60s, &thrown));
    port.Close();
    EXPECT_EQ(seen.entries(), (Texts{"C:1", "D:0", "L:0", "R:1", "C:0", "D:0", "L:0"}));
}
