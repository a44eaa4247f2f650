// Modem lines, line errors and the DTR/RTS outputs, through a fake line status installed
// under the port's I/O thread (a pseudo-terminal has none of them).
#include "platform/posix/LineStatus.h"
#include "platform/win32.h"
#include "tests/platform/PortTestUtil.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

struct FakeLines
{
    std::mutex mutex;
    DWORD modem = 0;
    LineCounters counters;
    bool dtr = true;
    bool rts = true;
    int rtsRaised = 0;

    template<class Change> void change(Change apply)
    {
        std::lock_guard lock(mutex);
        apply(*this);
    }
    template<class T> T get(T FakeLines::*member)
    {
        std::lock_guard lock(mutex);
        return this->*member;
    }
    bool dtrOn() { return get(&FakeLines::dtr); }
    bool rtsOn() { return get(&FakeLines::rts); }
};

class FakeLineStatus : public LineStatus
{
public:
    explicit FakeLineStatus(std::shared_ptr<FakeLines> lines) : m_lines(std::move(lines)) {}
    int modemLines(DWORD &msBits) override
    {
        std::lock_guard lock(m_lines->mutex);
        msBits = m_lines->modem;
        return 0;
    }
    int errorCounters(LineCounters &counters) override
    {
        std::lock_guard lock(m_lines->mutex);
        counters = m_lines->counters;
        return 0;
    }
    int setDtr(bool on) override
    {
        std::lock_guard lock(m_lines->mutex);
        m_lines->dtr = on;
        return 0;
    }
    int setRts(bool on) override
    {
        std::lock_guard lock(m_lines->mutex);
        m_lines->rtsRaised += on && !m_lines->rts;
        m_lines->rts = on;
        return 0;
    }

private:
    std::shared_ptr<FakeLines> m_lines;
};

class LineStatusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setLineStatusFactory(
            [lines = lines](int) { return std::make_unique<FakeLineStatus>(lines); });
        port = openPort(ports.publish(pty, 7));
        ASSERT_NE(port, INVALID_HANDLE_VALUE);
        DCB dcb = plainDcb();
        ASSERT_TRUE(SetCommState(port, &dcb));
    }
    void TearDown() override
    {
        CloseHandle(port);
        setLineStatusFactory({});
    }

    // Waits for the next comm event; 0 when none came in time.
    DWORD nextEvents(DWORD ms = 2000)
    {
        DWORD events = 0;
        if (WaitCommEvent(port, &events, &wait.ov))
            return events;
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
        if (!wait.signalled(ms)) {
            DWORD mask = 0;
            GetCommMask(port, &mask);
            SetCommMask(port, mask); // ends the wait before `events` goes away
            return 0;
        }
        DWORD count = 0;
        EXPECT_TRUE(GetOverlappedResult(port, &wait.ov, &count, FALSE));
        return events;
    }
    DWORD lineErrors()
    {
        DWORD errors = 0;
        COMSTAT stat{};
        EXPECT_TRUE(ClearCommError(port, &errors, &stat));
        return errors;
    }

    std::shared_ptr<FakeLines> lines = std::make_shared<FakeLines>();
    PortDirectory ports;
    PtyPair pty;
    HANDLE port = INVALID_HANDLE_VALUE;
    Pending wait;
};

} // namespace

TEST_F(LineStatusTest, ModemLineChangesRaiseEventsAndShowInTheModemStatus)
{
    ASSERT_TRUE(SetCommMask(port, EV_CTS | EV_DSR | EV_RLSD | EV_RING));
    lines->change([](FakeLines &l) { l.modem = MS_CTS_ON; });
    EXPECT_EQ(nextEvents(), EV_CTS);
    DWORD status = 0;
    EXPECT_TRUE(GetCommModemStatus(port, &status));
    EXPECT_EQ(status, MS_CTS_ON);

    lines->change([](FakeLines &l) { l.modem = MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON; });
    EXPECT_EQ(nextEvents(), DWORD(EV_DSR | EV_RLSD));
    lines->change([](FakeLines &l) { l.modem = MS_DSR_ON | MS_RLSD_ON; });
    EXPECT_EQ(nextEvents(), EV_CTS) << "a line going off is a change too";

    // The ring indicator reports its rising edge only.
    lines->change([](FakeLines &l) { l.modem |= MS_RING_ON; });
    EXPECT_EQ(nextEvents(), EV_RING);
    lines->change([](FakeLines &l) { l.modem &= ~MS_RING_ON; });
    EXPECT_EQ(nextEvents(100), 0u);
    EXPECT_TRUE(GetCommModemStatus(port, &status));
    EXPECT_EQ(status, DWORD(MS_DSR_ON | MS_RLSD_ON));
}

TEST_F(LineStatusTest, LineErrorsRaiseEventsAndClearCommErrorReportsThemOnce)
{
    ASSERT_TRUE(SetCommMask(port, EV_ERR | EV_BREAK));
    lines->change([](FakeLines &l) { l.counters.frame++; });
    EXPECT_EQ(nextEvents(), EV_ERR);
    EXPECT_EQ(lineErrors(), CE_FRAME);
    EXPECT_EQ(lineErrors(), 0u);

    lines->change([](FakeLines &l) { l.counters.overrun++, l.counters.parity++; });
    EXPECT_EQ(nextEvents(), EV_ERR);
    lines->change([](FakeLines &l) { l.counters.brk++; });
    EXPECT_EQ(nextEvents(), EV_BREAK);
    EXPECT_EQ(lineErrors(), DWORD(CE_OVERRUN | CE_RXPARITY | CE_BREAK));

    // An input overflow is an error flag but no EV_ERR; errors outside the mask still count.
    lines->change([](FakeLines &l) { l.counters.bufferOverrun++; });
    EXPECT_EQ(nextEvents(100), 0u);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    lines->change([](FakeLines &l) { l.counters.frame++; });
    EXPECT_EQ(lineErrors(), DWORD(CE_RXOVER | CE_FRAME));
}

TEST_F(LineStatusTest, AFullQueueHoldsBackTheRestAndOverflowIsOnlyWhatTheDeviceLost)
{
    // The queue takes bytes up to its real size and leaves the rest to the device, so a full
    // queue loses nothing by itself; a device whose own buffer then overflowed reports it.
    ASSERT_TRUE(SetupComm(port, 1024, 1024));
    const std::size_t capacity = PromisedInputQueue;
    std::string sent(capacity + 1000, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = char(i * 13 % 251);
    pty.writeAll(sent);
    EXPECT_TRUE(eventually([&] { return queuedInput(port) == capacity; }));
    EXPECT_EQ(lineErrors(), 0u) << "full, but nothing was lost";
    lines->change([](FakeLines &l) { l.counters.bufferOverrun++; });
    EXPECT_EQ(lineErrors(), CE_RXOVER);

    setTimeouts(port, MAXDWORD, 0, 0);
    std::string got;
    std::string buffer(sent.size(), '\0');
    EXPECT_TRUE(eventually([&] {
        Pending read;
        DWORD count = 0;
        if (ReadFile(port, buffer.data(), DWORD(buffer.size()), &count, &read.ov))
            got.append(buffer, 0, count);
        return got.size() >= sent.size();
    }));
    EXPECT_TRUE(got == sent) << "a byte the queue had accepted was lost or changed";
}

TEST_F(LineStatusTest, OutputLinesFollowTheDcb)
{
    DCB dcb = plainDcb();
    EXPECT_FALSE(lines->dtrOn());
    EXPECT_FALSE(lines->rtsOn());
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_TRUE(lines->dtrOn());
    EXPECT_TRUE(lines->rtsOn());

    // RTS toggle: on while sending, off once the output is empty.
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_FALSE(lines->rtsOn());
    const int raisedBefore = lines->get(&FakeLines::rtsRaised);
    Pending write;
    ASSERT_FALSE(WriteFile(port, "abc", 3, nullptr, &write.ov));
    DWORD count = 0;
    ASSERT_TRUE(GetOverlappedResult(port, &write.ov, &count, TRUE));
    EXPECT_TRUE(eventually([&] { return !lines->rtsOn(); }));
    EXPECT_EQ(lines->get(&FakeLines::rtsRaised), raisedBefore + 1);

    // DTR handshake: off when fewer than XoffLim bytes of the real queue are free, on below
    // XonLim queued.
    ASSERT_TRUE(SetupComm(port, 100, 100));
    const std::size_t capacity = PromisedInputQueue;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.XoffLim = 30;
    dcb.XonLim = 10;
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_TRUE(lines->dtrOn());
    pty.writeAll(std::string(capacity - 40, 'x'));
    EXPECT_TRUE(eventually([&] { return queuedInput(port) == capacity - 40; }));
    EXPECT_TRUE(lines->dtrOn());
    pty.writeAll(std::string(20, 'x'));
    EXPECT_TRUE(eventually([&] { return !lines->dtrOn(); }));
    std::string buffer(capacity, '\0');
    setTimeouts(port, MAXDWORD, 0, 0);
    Pending read;
    ASSERT_TRUE(ReadFile(port, buffer.data(), DWORD(capacity - 35), nullptr, &read.ov));
    EXPECT_FALSE(lines->dtrOn());
    ASSERT_TRUE(ReadFile(port, buffer.data(), 15, nullptr, &read.ov));
    EXPECT_TRUE(lines->dtrOn());
}

TEST_F(LineStatusTest, EscapeFunctionsSetTheLinesTheDcbLeavesToTheCaller)
{
    for (auto [set, line] :
         {std::pair(SETDTR, &FakeLines::dtr), std::pair(SETRTS, &FakeLines::rts)}) {
        EXPECT_TRUE(EscapeCommFunction(port, set) && lines->get(line)) << set;
        EXPECT_TRUE(EscapeCommFunction(port, set + 1) && !lines->get(line)) << set;
    }
    // Unknown codes, and lines under the driver's control, are refused and change nothing.
    DCB dcb = plainDcb();
    const DWORD refusals[][3] = {{DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, 7},
                                 {DTR_CONTROL_HANDSHAKE, RTS_CONTROL_DISABLE, CLRDTR},
                                 {DTR_CONTROL_ENABLE, RTS_CONTROL_TOGGLE, SETRTS}};
    for (const auto &[dtrControl, rtsControl, function] : refusals) {
        dcb.fDtrControl = dtrControl;
        dcb.fRtsControl = rtsControl;
        ASSERT_TRUE(SetCommState(port, &dcb));
        const bool dtr = lines->dtrOn(), rts = lines->rtsOn();
        EXPECT_TRUE(!EscapeCommFunction(port, function) &&
                    GetLastError() == ERROR_INVALID_PARAMETER)
            << function;
        EXPECT_TRUE(lines->dtrOn() == dtr && lines->rtsOn() == rts) << function;
    }
    CloseHandle(port);
    EXPECT_TRUE(!SetCommBreak(port) && GetLastError() == ERROR_INVALID_HANDLE);
    port = INVALID_HANDLE_VALUE;
}

TEST_F(LineStatusTest, AbortOnErrorEndsTransfersUntilTheErrorsAreCollected)
{
    DCB dcb = plainDcb();
    dcb.fAbortOnError = 1;
    ASSERT_TRUE(SetCommState(port, &dcb));
    setTimeouts(port, 0, 0, 0);
    char buffer[8];
    Pending read;
    ASSERT_FALSE(ReadFile(port, buffer, 8, nullptr, &read.ov));
    lines->change([](FakeLines &l) { l.counters.parity++; });
    ASSERT_TRUE(read.signalled(2000));
    DWORD count = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &read.ov, &count, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_FALSE(WriteFile(port, "x", 1, nullptr, &read.ov));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);

    EXPECT_EQ(lineErrors(), CE_RXPARITY);
    Pending write;
    ASSERT_FALSE(WriteFile(port, "x", 1, nullptr, &write.ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_TRUE(GetOverlappedResult(port, &write.ov, &count, TRUE));
}

TEST_F(LineStatusTest, DsrGatesInputAndOutputWhenAskedTo)
{
    DCB dcb = plainDcb();
    dcb.fDsrSensitivity = 1;
    dcb.fOutxDsrFlow = 1;
    ASSERT_TRUE(SetCommState(port, &dcb));
    pty.writeAll("lost");
    Pending write;
    ASSERT_FALSE(WriteFile(port, "held", 4, nullptr, &write.ov));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(queuedInput(port), 0u);
    EXPECT_FALSE(write.signalled());
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(port, nullptr, &stat));
    EXPECT_TRUE(stat.fDsrHold);
    EXPECT_EQ(stat.cbOutQue, 4u);

    lines->change([](FakeLines &l) { l.modem = MS_DSR_ON; });
    EXPECT_TRUE(write.signalled(2000));
    EXPECT_EQ(pty.readSome(4, 2s), "held");
    pty.writeAll("kept");
    EXPECT_TRUE(eventually([&] { return queuedInput(port) == 4; }));
}

namespace {

// Lines whose driver can wait for their changes: a change rings a pipe that the wait polls, so
// that the port's wake-up signal ends the wait as it ends the real one.
class WaitingLineStatus : public FakeLineStatus
{
public:
    WaitingLineStatus(std::shared_ptr<FakeLines> lines, int bell, std::atomic<int> &queries)
        : FakeLineStatus(std::move(lines)), m_bell(bell), m_queries(queries)
    {}
    int modemLines(DWORD &msBits) override
    {
        ++m_queries;
        return FakeLineStatus::modemLines(msBits);
    }
    bool waitsForModemChanges() const override { return true; }
    int waitModemChange() override
    {
        pollfd bell{m_bell, POLLIN, 0};
        if (poll(&bell, 1, -1) < 0)
            return errno;
        char drained[16];
        [[maybe_unused]] ssize_t n = ::read(m_bell, drained, sizeof drained);
        return 0;
    }

private:
    int m_bell;
    std::atomic<int> &m_queries;
};

} // namespace

TEST(WaitedLineTest, AnIdlePortAsksForItsModemLinesOnlyWhenTheyChange)
{
    auto lines = std::make_shared<FakeLines>();
    int bell[2];
    ASSERT_EQ(pipe2(bell, O_NONBLOCK | O_CLOEXEC), 0);
    std::atomic<int> queries{0};
    setLineStatusFactory(
        [&](int) { return std::make_unique<WaitingLineStatus>(lines, bell[0], queries); });
    PortDirectory ports;
    PtyPair pty;
    HANDLE port = openPort(ports.publish(pty, 3));
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetCommMask(port, EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR | EV_BREAK));
    Pending wait;
    DWORD events = 0;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));

    // Polled every 10 ms, this would be some 30 queries.
    const int before = queries.load();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(queries.load() - before, 1);

    lines->change([](FakeLines &l) { l.modem = MS_CTS_ON; });
    ASSERT_EQ(::write(bell[1], "!", 1), 1);
    ASSERT_TRUE(wait.signalled(2000));
    EXPECT_EQ(events, DWORD(EV_CTS));

    // Closing ends the wait that nothing else would end.
    CloseHandle(port);
    setLineStatusFactory({});
    ::close(bell[0]);
    ::close(bell[1]);
}

TEST(PtyLineTest, APseudoTerminalIsAnIdleLine)
{
    PortDirectory ports;
    PtyPair pty;
    HANDLE port = openPort(ports.publish(pty, 2));
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DWORD status = 123;
    EXPECT_TRUE(GetCommModemStatus(port, &status));
    EXPECT_EQ(status, 0u);
    DWORD errors = 123;
    EXPECT_TRUE(ClearCommError(port, &errors, nullptr));
    EXPECT_EQ(errors, 0u);
    DCB dcb = plainDcb();
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    EXPECT_TRUE(SetCommState(port, &dcb));
    EXPECT_TRUE(SetCommMask(port, 0x05FF));

    // Without modem lines the outputs are accepted with nothing to show, as the status is.
    for (DWORD function : {SETDTR, CLRDTR})
        EXPECT_TRUE(EscapeCommFunction(port, function)) << function;

    // A break (which the kernel accepts on a pty) and the XOFF hold keep output back until
    // they end.
    for (auto [on, off] : {std::pair(SETBREAK, CLRBREAK), std::pair(SETXOFF, SETXON)}) {
        ASSERT_TRUE(EscapeCommFunction(port, on)) << on;
        COMSTAT stat{};
        EXPECT_TRUE(ClearCommError(port, nullptr, &stat) && stat.fXoffHold == (on == SETXOFF));
        Pending write;
        ASSERT_FALSE(WriteFile(port, "held", 4, nullptr, &write.ov));
        EXPECT_EQ(pty.readSome(4, std::chrono::milliseconds(100)), "") << on;
        ASSERT_TRUE(EscapeCommFunction(port, off)) << off;
        EXPECT_EQ(pty.readSome(4, std::chrono::seconds(5)), "held") << on;
        DWORD count = 0;
        EXPECT_TRUE(GetOverlappedResult(port, &write.ov, &count, TRUE));
    }
    CloseHandle(port);
}
