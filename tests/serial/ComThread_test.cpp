#include "serial/ComThread.h"

#include "framework/core/UiCallQueue.h"
#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include "SerialTestSupport.h"

#include <atomic>
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
    std::vector<std::string> entries() const
    {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_entries.size();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

// A port that shows the messages its window receives and lets a test post one itself.
class WindowPort : public TComPort
{
public:
    Recorder messages;

    LRESULT HandlePortMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.add(std::to_string(message) + ":" + std::to_string(wParam));
        return TComPort::HandlePortMessage(message, wParam, lParam);
    }
    using TComPort::HandlePortMessage;
};

class EventThreadTest : public ::testing::Test
{
protected:
    ReportSink sink;
    FakeLineInstaller line;
    PublishedPty device;
    Recorder seen;
    std::vector<std::string> thrown;

    void prepare(TComPort &port, TSyncMethod mode)
    {
        port.setPort(device.name);
        port.setSyncMethod(mode);
    }

    // Everything that reached the UI thread as an exception, thrown or reported.
    std::vector<std::string> failures() const
    {
        std::vector<std::string> all = thrown;
        all.insert(all.end(), sink.messages.begin(), sink.messages.end());
        return all;
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
    std::atomic<std::size_t> total{0};
    std::atomic<int> calls{0}, zeroCounts{0}, shortReads{0};
    port.OnRxChar = [&](Component *, std::int32_t count) {
        ++calls;
        if (count <= 0)
            ++zeroCounts;
        std::string chunk;
        if (port.ReadStr(chunk, count) != count)
            ++shortReads;
        std::lock_guard lock(mutex);
        received += chunk;
        total += chunk.size();
    };
    port.Open();
    std::thread farEnd([&] { device.pty.writeAll(sent); });
    EXPECT_TRUE(pumpUntil([&] { return total >= sent.size(); }, &thrown, 20000ms));
    farEnd.join();
    pumpFor(50ms, &thrown);
    port.Close();

    EXPECT_EQ(total, sent.size());
    EXPECT_TRUE(received == sent) << "bytes lost, doubled or reordered";
    EXPECT_EQ(zeroCounts, 0);
    EXPECT_EQ(shortReads, 0);
    EXPECT_GT(calls, 0);
    EXPECT_TRUE(failures().empty());
}

TEST_P(EveryMode, HandlerExceptionReachesTheUiThreadAndEventsGoOn)
{
    TComPort port;
    prepare(port, GetParam());
    std::atomic<int> calls{0};
    port.OnRxChar = [&](Component *, std::int32_t count) {
        std::string chunk;
        port.ReadStr(chunk, count);
        seen.add(chunk);
        if (++calls == 1)
            throw Exception("handler failed");
    };
    port.Open();
    device.pty.writeAll("first");
    ASSERT_TRUE(pumpUntil([&] { return calls == 1 && !failures().empty(); }, &thrown));
    EXPECT_EQ(failures(), (std::vector<std::string>{"handler failed"}));

    device.pty.writeAll("second");
    ASSERT_TRUE(pumpUntil([&] { return calls == 2; }, &thrown)) << "the event thread stopped";
    device.pty.writeAll("third");
    ASSERT_TRUE(pumpUntil([&] { return calls == 3; }, &thrown));
    EXPECT_EQ(seen.entries(), (std::vector<std::string>{"first", "second", "third"}));
    port.Close();
}

TEST_P(EveryMode, RepeatedOpenAndCloseWithTrafficLeavesNothingBehind)
{
    const int descriptors = openDescriptorCount();
    const int threads = threadCount();
    TComPort port;
    prepare(port, GetParam());
    std::atomic<int> received{0};
    port.OnRxChar = [&](Component *, std::int32_t count) {
        std::string chunk;
        received += port.ReadStr(chunk, count);
    };
    for (int cycle = 0; cycle < 500; ++cycle) {
        port.Open();
        received = 0;
        device.pty.writeAll("ping");
        ASSERT_EQ(port.Write("pong", 4), 4);
        if (cycle % 2 == 0) {
            ASSERT_TRUE(pumpUntil([&] { return received == 4; }, &thrown)) << "cycle " << cycle;
            ASSERT_EQ(device.pty.readSome(4, 2000ms), "pong");
        } // odd cycles close with traffic still in flight
        port.Close();
        device.pty.drain();
    }
    pumpFor(20ms, &thrown);
    EXPECT_TRUE(failures().empty());
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_TRUE(waitUntil([&] { return threadCount() == threads; }, 2000ms));
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
    // The reaction to a line change waits for the UI thread, which does not pump yet: the
    // error and a byte happen meanwhile and complete the following wait together. Counting
    // the byte first would clear the error flag before it is read.
    line.state->modem = MS_CTS_ON;
    ASSERT_TRUE(waitUntil(uiCallWaiting));
    line.state->parity += 1;
    std::this_thread::sleep_for(50ms);
    device.pty.writeAll("b");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(seen.size(), 0u);

    ASSERT_TRUE(pumpUntil([&] { return seen.size() >= 3; }, &thrown));
    pumpFor(100ms, &thrown);
    EXPECT_EQ(seen.entries(), (std::vector<std::string>{"CTS:1", "Err:parity", "Rx:1"}));
    port.Close();
}

TEST_F(EventThreadTest, BytesArrivingWhileTheUiThreadIsBusyAreCountedLater)
{
    TComPort port;
    prepare(port, smThreadSync);
    std::string all;
    port.OnRxChar = [&](Component *, std::int32_t count) {
        std::string chunk;
        port.ReadStr(chunk, count);
        all += chunk;
        seen.add(std::to_string(count));
    };
    port.Open();
    device.pty.writeAll("a");
    ASSERT_TRUE(waitUntil(uiCallWaiting));
    device.pty.writeAll("bc");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(port.InputQueueCount(), 3) << "the bytes wait in the input queue";

    pumpFor(200ms, &thrown);
    // The pending reaction counts all three; the wait that "bc" completed finds nothing left
    // and calls no handler.
    EXPECT_EQ(seen.entries(), (std::vector<std::string>{"3"}));
    EXPECT_EQ(all, "abc");
    port.Close();
}

TEST_F(EventThreadTest, CloseServesAPendingCallOrMessage)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        SCOPED_TRACE(mode == smThreadSync ? "thread sync" : "window sync");
        seen.clear();
        sink.messages.clear();
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
        ASSERT_TRUE(waitUntil(uiCallWaiting));

        const auto start = std::chrono::steady_clock::now();
        port.Close();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(seen.entries(), (std::vector<std::string>{"while connected"}));
        // Close cannot throw what the handler raised: it is reported.
        EXPECT_EQ(sink.messages, (std::vector<std::string>{"failed during close."}));
    }
}

TEST_F(EventThreadTest, AHandlerMayCloseThePort)
{
    for (TSyncMethod mode : {smThreadSync, smWindowSync}) {
        TComPort port;
        prepare(port, mode);
        port.OnRxChar = [&](Component *, std::int32_t) { port.Close(); };
        port.OnAfterClose = [&](Component *) { seen.add("closed"); };
        port.Open();
        device.pty.writeAll("x");
        ASSERT_TRUE(pumpUntil([&] { return !port.Connected(); }, &thrown)) << mode;
        pumpFor(50ms, &thrown);
        EXPECT_EQ(seen.size(), mode == smThreadSync ? 1u : 2u);
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
    port.OnRxChar = [&](Component *, std::int32_t count) {
        std::string chunk;
        port.ReadStr(chunk, count);
        seen.add("Rx:" + chunk);
    };
    port.OnTxEmpty = [&](Component *) { seen.add("TxEmpty"); };
    port.Open();
    seen.clear(); // the after-open reports come straight from Open

    line.state->modem = MS_CTS_ON | MS_DSR_ON;
    ASSERT_TRUE(pumpUntil([&] { return seen.size() == 2; }, &thrown));
    EXPECT_EQ(port.messages.entries(), (std::vector<std::string>{"1025:8", "1025:16"}));
    EXPECT_EQ(seen.entries(), (std::vector<std::string>{"CTS:1", "DSR:1"}));

    device.pty.writeAll("abc");
    ASSERT_TRUE(pumpUntil([&] { return seen.size() == 3; }, &thrown));
    EXPECT_EQ(port.messages.entries().back(), "1025:1");
    EXPECT_EQ(seen.entries().back(), "Rx:abc");

    port.Write("z", 1);
    ASSERT_TRUE(pumpUntil([&] { return seen.size() == 4; }, &thrown));
    EXPECT_EQ(port.messages.entries().back(), "1025:4");
    pumpFor(100ms, &thrown);
    EXPECT_EQ(port.messages.size(), 4u) << "one message per event";
    EXPECT_TRUE(failures().empty());
    port.Close();
    seen.clear();

    // A message that arrives after the close is ignored.
    device.pty.writeAll("late");
    EXPECT_EQ(port.HandlePortMessage(PortEventMessage, eventMessageCode(evRxChar), 0), 0);
    EXPECT_EQ(seen.size(), 0u);
    EXPECT_TRUE(failures().empty()) << "the closed device was not queried";
}

TEST_F(EventThreadTest, VanishedDeviceIsReportedOnceWithoutSpinning)
{
    TComPort port;
    prepare(port, smThreadSync);
    std::atomic<int> calls{0};
    port.OnRxChar = [&](Component *, std::int32_t count) {
        ++calls;
        std::string chunk;
        port.ReadStr(chunk, count);
    };
    port.Open();
    device.pty.closeMaster();
    pumpFor(300ms, &thrown);
    const std::clock_t cpuBefore = std::clock();
    pumpFor(500ms, &thrown);
    const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    EXPECT_LT(cpuSeconds, 0.25) << "something spins after the hang-up";
    EXPECT_LE(calls + failures().size(), 1u) << "reported more than once";

    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
}

TEST(ReactionOrder, ErrorsComeFirstAndEveryEventOnce)
{
    EXPECT_EQ(reactionOrder[0], evError);
    EXPECT_EQ(reactionOrder[1], evRxChar);
    DWORD mask = 0;
    for (TComEvent event : reactionOrder) {
        EXPECT_EQ(mask & eventMessageCode(event), 0u);
        mask |= eventMessageCode(event);
        TComEvent back;
        ASSERT_TRUE(eventOfMessageCode(eventMessageCode(event), back));
        EXPECT_EQ(back, event);
    }
    EXPECT_EQ(mask, 0x05FFu);
    EXPECT_EQ(EventSetToMask(TComEvents::all()), 0x05FFu);
    EXPECT_EQ(MaskToEventSet(0xFFFFFFFFu), TComEvents::all());
    EXPECT_EQ(MaskToEventSet(EV_TXEMPTY | 0x0200), TComEvents{evTxEmpty});
    TComEvent none;
    EXPECT_FALSE(eventOfMessageCode(0x0200, none));
}
