// The comm functions on real kernel pseudo-terminals, with the far end driven by the test.
#include "platform/posix/CommPort.h"
#include "platform/posix/LineSettings.h"
#include "platform/win32.h"
#include "tests/platform/PortTestUtil.h"
#include "tests/support/LiveThreads.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <future>
#include <random>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

class CommPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        name = ports.publish(pty, 3);
        port = openPort("\\\\.\\" + name);
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
        DCB dcb = plainDcb();
        ASSERT_TRUE(SetCommState(port, &dcb));
        ASSERT_TRUE(SetupComm(port, 1024, 1024));
        setTimeouts(port, MAXDWORD, 0, 0, 100, 1000);
    }
    void TearDown() override
    {
        if (port != INVALID_HANDLE_VALUE)
            CloseHandle(port);
    }

    // Starts a read and returns whether it is still pending.
    bool startRead(char *buffer, DWORD count, Pending &request)
    {
        DWORD done = 0;
        if (ReadFile(port, buffer, count, &done, &request.ov))
            return false;
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
        return true;
    }
    DWORD finish(Pending &request, BOOL expect = TRUE)
    {
        DWORD count = 0;
        EXPECT_EQ(GetOverlappedResult(port, &request.ov, &count, TRUE), expect);
        return count;
    }
    termios slaveTermios()
    {
        termios t{};
        tcgetattr(pty.slave(), &t);
        return t;
    }

    PortDirectory ports;
    PtyPair pty;
    std::string name;
    HANDLE port = INVALID_HANDLE_VALUE;
};

std::string randomBytes(std::size_t count)
{
    std::mt19937 generator(42);
    std::string bytes(count, '\0');
    for (char &c : bytes)
        c = char(generator() & 0xFF);
    // Plenty of the two bytes that tty layers like to eat.
    for (std::size_t i = 0; i < count; i += 97)
        bytes[i] = (i / 97) % 2 ? '\xFF' : '\0';
    return bytes;
}

// Whether the I/O threads sleep: within 5 s comes a 300 ms spell without a wake-up. A thread
// that woke even every 200 ms never has one; earlier requests that a busy machine serves late
// only put it off.
bool ioThreadsSleep()
{
    return eventually(
        [] {
            const std::uint64_t before = CommPort::ioWakeUps();
            std::this_thread::sleep_for(300ms);
            return CommPort::ioWakeUps() == before;
        },
        5s);
}

} // namespace

TEST_F(CommPortTest, MovesAMebibyteEachWayWithNulAndFFIntact)
{
    const std::string out = randomBytes(1 << 20);
    std::string received;
    std::thread farReader([&] { received = pty.readSome(out.size(), 20s); });
    Pending write;
    if (!WriteFile(port, out.data(), DWORD(out.size()), nullptr, &write.ov)) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }
    EXPECT_EQ(finish(write), out.size());
    farReader.join();
    EXPECT_TRUE(received == out) << "far end got " << received.size() << " bytes";

    const std::string in = randomBytes(1 << 20).substr(1000) + "end";
    setTimeouts(port, 0, 0, 0);
    std::string buffer(in.size(), '\0');
    Pending read;
    startRead(buffer.data(), DWORD(buffer.size()), read);
    std::thread farWriter([&] { pty.writeAll(in); });
    EXPECT_EQ(finish(read), in.size());
    farWriter.join();
    EXPECT_TRUE(buffer == in);
}

TEST_F(CommPortTest, ParityCheckingStillDeliversFFAndNulBytes)
{
    // Parity checking makes the kernel mark bytes (see MarkParser); the marks must not leak.
    DCB dcb = plainDcb();
    dcb.fParity = 1;
    ASSERT_TRUE(SetCommState(port, &dcb));
    const std::string in("\377a\0\377\377", 5);
    pty.writeAll(in);
    ASSERT_TRUE(eventually([&] { return queuedInput(port) == in.size(); }));
    char buffer[8] = {};
    Pending read;
    ASSERT_TRUE(ReadFile(port, buffer, sizeof buffer, nullptr, &read.ov));
    EXPECT_EQ(std::string(buffer, in.size()), in);
}

TEST_F(CommPortTest, DiscardNullDropsReceivedNulBytes)
{
    DCB dcb = plainDcb();
    dcb.fNull = 1;
    ASSERT_TRUE(SetCommState(port, &dcb));
    pty.writeAll(std::string("a\0b\0\0c", 6));
    ASSERT_TRUE(eventually([&] { return queuedInput(port) == 3; }));
    char buffer[8] = {};
    DWORD done = 0;
    Pending read;
    ASSERT_TRUE(ReadFile(port, buffer, sizeof buffer, &done, &read.ov));
    EXPECT_EQ(std::string(buffer, done), "abc");
}

TEST_F(CommPortTest, DefaultTimeoutsReadReturnsAtOnceWithWhatIsQueued)
{
    char buffer[16] = {};
    DWORD done = 99;
    Pending read;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, &done, &read.ov));
    EXPECT_EQ(done, 0u);
    EXPECT_LT(millisSince(start), 10000);
    EXPECT_TRUE(read.signalled());

    pty.writeAll("hello world");
    ASSERT_TRUE(eventually([&] { return queuedInput(port) == 11; }));
    EXPECT_TRUE(ReadFile(port, buffer, 5, &done, &read.ov));
    EXPECT_EQ(std::string(buffer, done), "hello");
    DWORD count = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &read.ov, &count, FALSE));
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(queuedInput(port), 6u);
}

TEST_F(CommPortTest, ReadTimeoutsEndReadsAsSuccessWithShortCounts)
{
    char buffer[64] = {};
    Pending read;

    // Total time-out: what came by then, as success.
    setTimeouts(port, 0, 0, 200);
    pty.writeAll("abc");
    ASSERT_TRUE(eventually([&] { return queuedInput(port) == 3; }));
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(startRead(buffer, 10, read));
    EXPECT_EQ(finish(read), 3u);
    EXPECT_GE(millisSince(start), 180);
    EXPECT_LT(millisSince(start), 10000);

    // Interval time-out: armed by the first byte.
    setTimeouts(port, 100, 0, 0);
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(startRead(buffer, 10, read));
    std::this_thread::sleep_for(250ms);
    EXPECT_FALSE(read.signalled()) << "the interval must not run before the first byte";
    pty.writeAll("xy");
    EXPECT_EQ(finish(read), 2u);
    EXPECT_GE(millisSince(start), 330);

    // "Return on the first byte" mode, without and with a byte arriving.
    setTimeouts(port, MAXDWORD, MAXDWORD, 300);
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(startRead(buffer, 10, read));
    EXPECT_EQ(finish(read), 0u);
    EXPECT_GE(millisSince(start), 280);
    setTimeouts(port, MAXDWORD, MAXDWORD, 60000);
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(startRead(buffer, 10, read));
    pty.writeAll("q");
    EXPECT_EQ(finish(read), 1u);
    EXPECT_LT(millisSince(start), 30000);
}

TEST_F(CommPortTest, WriteToAFarEndThatDoesNotReadTimesOutWithFewerBytes)
{
    setTimeouts(port, MAXDWORD, 0, 0, 0, 300);
    const std::string data(1 << 20, 'w');
    Pending write;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(WriteFile(port, data.data(), DWORD(data.size()), nullptr, &write.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    const DWORD sent = finish(write);
    EXPECT_GE(millisSince(start), 280);
    EXPECT_LT(millisSince(start), 10000);
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, data.size());
    EXPECT_EQ(pty.drain().size(), sent);
}

// A pty has no transmitter to wait for, but the port's own pending writes count: the flush
// waits for them, gives up with 121 after its bound while the far end takes nothing (leaving
// the write pending), and returns once the far end has read everything.
TEST_F(CommPortTest, FlushFileBuffersWaitsForPendingWritesWithinABound)
{
    DCB fast = plainDcb(4000000); // keeps the bound's line time short: 0.5 s for 256 KiB
    ASSERT_TRUE(SetCommState(port, &fast));
    setTimeouts(port, MAXDWORD, 0, 0);
    const std::string data(256 * 1024, 'f');
    Pending write;
    ASSERT_FALSE(WriteFile(port, data.data(), DWORD(data.size()), nullptr, &write.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

    EXPECT_FALSE(FlushFileBuffers(port));
    EXPECT_EQ(GetLastError(), ERROR_SEM_TIMEOUT);
    EXPECT_FALSE(write.signalled());

    auto flushed = std::async(std::launch::async, [this] { return FlushFileBuffers(port); });
    EXPECT_EQ(flushed.wait_for(100ms), std::future_status::timeout);
    std::string taken;
    for (std::string got = "x"; taken.size() < data.size() && !got.empty(); taken += got)
        got = pty.readSome(data.size() - taken.size(), 1000ms);
    EXPECT_TRUE(flushed.get()) << GetLastError();
    EXPECT_EQ(taken.size(), data.size());
    EXPECT_EQ(finish(write), data.size());
}

TEST_F(CommPortTest, WriteTimeoutGrowsWithTheByteCount)
{
    // XOFF from the far end holds all output back.
    DCB dcb = plainDcb();
    dcb.fOutX = 1;
    ASSERT_TRUE(SetCommState(port, &dcb));
    pty.writeAll("\x13");
    std::this_thread::sleep_for(50ms);
    setTimeouts(port, MAXDWORD, 0, 0, 4, 100);
    Pending write;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(
        WriteFile(port, "0123456789012345678901234567890123456789", 40, nullptr, &write.ov));
    EXPECT_EQ(finish(write), 0u); // 4 * 40 + 100 ms, then success with nothing sent
    EXPECT_GE(millisSince(start), 240);
    EXPECT_LT(millisSince(start), 10000);

    pty.writeAll("\x11");
    ASSERT_FALSE(WriteFile(port, "go", 2, nullptr, &write.ov));
    EXPECT_EQ(finish(write), 2u);
    EXPECT_EQ(pty.readSome(2, 2s), "go");
}

TEST_F(CommPortTest, ReceiveEventsAreEdgesAndRememberedUntilTheNextWait)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0;
    Pending wait;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    pty.writeAll("abc");
    EXPECT_EQ(finish(wait), sizeof(DWORD)) << "the mask's size, as Windows reports it";
    EXPECT_EQ(events, EV_RXCHAR);

    // The bytes are still unread: that is no new event.
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    EXPECT_FALSE(wait.signalled(150));
    pty.writeAll("d");
    finish(wait);
    EXPECT_EQ(queuedInput(port), 4u);

    // Bytes that arrive while no wait is pending complete the next wait at once, once.
    pty.writeAll("e");
    ASSERT_TRUE(eventually([&] { return queuedInput(port) == 5; }));
    events = 0;
    EXPECT_TRUE(WaitCommEvent(port, &events, &wait.ov));
    EXPECT_EQ(events, EV_RXCHAR);
    EXPECT_TRUE(wait.signalled());
    EXPECT_EQ(finish(wait), sizeof(DWORD));
    EXPECT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_TRUE(SetCommMask(port, 0));
}

TEST_F(CommPortTest, EventCharacterQueueFillAndTransmitEmptyAreReported)
{
    DCB dcb = plainDcb();
    dcb.EvtChar = '\r';
    ASSERT_TRUE(SetCommState(port, &dcb));
    DWORD events = 0;
    Pending wait;

    ASSERT_TRUE(SetCommMask(port, EV_RXFLAG));
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    pty.writeAll("ab");
    EXPECT_FALSE(wait.signalled(100));
    pty.writeAll("\r");
    finish(wait);
    EXPECT_EQ(events, EV_RXFLAG);

    // 80 % of the queue the layer really keeps, not of the size asked for.
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    ASSERT_TRUE(SetupComm(port, 1000, 1000));
    const std::size_t fill = PromisedInputQueue * 4 / 5;
    ASSERT_TRUE(SetCommMask(port, EV_RX80FULL));
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    pty.writeAll(std::string(fill - 1, 'x'));
    EXPECT_TRUE(eventually([&] { return queuedInput(port) == fill - 1; }));
    EXPECT_FALSE(wait.signalled(100));
    pty.writeAll("y");
    finish(wait);
    EXPECT_EQ(events, EV_RX80FULL);

    // Only output written after the wait began empties the transmitter.
    ASSERT_TRUE(SetCommMask(port, EV_TXEMPTY));
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    EXPECT_FALSE(wait.signalled(100));
    Pending write;
    WriteFile(port, "z", 1, nullptr, &write.ov);
    EXPECT_EQ(finish(write), 1u);
    finish(wait);
    EXPECT_EQ(events, EV_TXEMPTY);
}

TEST_F(CommPortTest, InputQueueIsAtLeastTheRequestAndCountsFollowItsRealSize)
{
    // The fixture asked for 1024 bytes; eight times that sent with nobody reading is all
    // held, counted and announced, with no overflow and no "80 % full".
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_RX80FULL | EV_ERR));
    const std::string sent = randomBytes(8 * 1024);
    pty.writeAll(sent);
    EXPECT_TRUE(eventually([&] { return queuedInput(port) == sent.size(); }));
    DWORD events = 0;
    Pending wait;
    EXPECT_TRUE(WaitCommEvent(port, &events, &wait.ov)) << "remembered from the arrival";
    EXPECT_EQ(events, EV_RXCHAR);
    DWORD errors = 0;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    std::string got(sent.size() + 1, '\0');
    Pending read;
    DWORD count = 0;
    ASSERT_TRUE(ReadFile(port, got.data(), DWORD(got.size()), &count, &read.ov));
    got.resize(count);
    EXPECT_TRUE(got == sent);
}

TEST_F(CommPortTest, WaitRulesFollowWindows)
{
    DWORD events = 0;
    Pending wait;
    ASSERT_TRUE(SetCommMask(port, 0));
    EXPECT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetCommMask(port, 0x8000));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_CTS));
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    Pending second;
    EXPECT_FALSE(WaitCommEvent(port, &events, &second.ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // A new mask ends the pending wait successfully with no events.
    events = 123;
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    EXPECT_TRUE(wait.signalled());
    finish(wait);
    EXPECT_EQ(events, 0u);
    DWORD mask = 0;
    EXPECT_TRUE(GetCommMask(port, &mask));
    EXPECT_EQ(mask, DWORD(EV_RXCHAR));
}

TEST_F(CommPortTest, PurgeAbortsPendingRequestsAndOnlyClearDropsData)
{
    setTimeouts(port, 0, 0, 0);
    char buffer[16] = {};
    Pending read;
    ASSERT_TRUE(startRead(buffer, 10, read));
    // The receive event tells when the bytes have gone into the waiting read.
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0;
    Pending wait;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    pty.writeAll("abc");
    finish(wait);
    EXPECT_FALSE(read.signalled());
    ASSERT_TRUE(PurgeComm(port, PURGE_RXABORT));
    EXPECT_EQ(finish(read, FALSE), 3u);
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(std::string(buffer, 3), "abc");

    pty.writeAll("xyz");
    ASSERT_TRUE(eventually([&] { return queuedInput(port) == 3; }));
    ASSERT_TRUE(PurgeComm(port, PURGE_RXABORT));
    EXPECT_EQ(queuedInput(port), 3u);
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    EXPECT_EQ(queuedInput(port), 0u);

    // A write stalled by a far end that does not read.
    const std::string data(1 << 20, 'w');
    Pending write;
    ASSERT_FALSE(WriteFile(port, data.data(), DWORD(data.size()), nullptr, &write.ov));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR));
    const DWORD sent = finish(write, FALSE);
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_LT(sent, data.size());

    EXPECT_FALSE(PurgeComm(port, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(PurgeComm(port, 0x10));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(CommPortTest, CloseHandleEndsPendingRequestsPromptly)
{
    setTimeouts(port, 0, 0, 0);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    char buffer[16];
    Pending read, write, wait;
    DWORD events = 0;
    const std::string data(1 << 20, 'w');
    ASSERT_TRUE(startRead(buffer, 10, read));
    ASSERT_FALSE(WriteFile(port, data.data(), DWORD(data.size()), nullptr, &write.ov));
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    // No time-out (all are 0), poll period or draining queue could end these requests or the
    // I/O thread's sleep, so a close that waited for one would never return.
    EXPECT_TRUE(ioThreadsSleep()) << "the I/O thread wakes with nothing to do";

    HANDLE closed = port;
    port = INVALID_HANDLE_VALUE;
    auto closing = std::make_shared<std::promise<BOOL>>();
    std::future<BOOL> done = closing->get_future();
    std::thread([closing, closed] { closing->set_value(CloseHandle(closed)); }).detach();
    ASSERT_EQ(done.wait_for(10s), std::future_status::ready) << "close waits for something";
    EXPECT_TRUE(done.get());
    for (Pending *request : {&read, &write, &wait}) {
        EXPECT_TRUE(request->signalled());
        DWORD count = 0;
        EXPECT_FALSE(GetOverlappedResult(closed, &request->ov, &count, FALSE));
        EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    }
    EXPECT_FALSE(ReadFile(closed, buffer, 1, nullptr, &read.ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(closed));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // The device is free again at once.
    HANDLE again = openPort(name);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(CommPortTest, HangUpFailsPendingAndLaterRequestsAtOnceWithoutSpinning)
{
    setTimeouts(port, 0, 0, 0);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    char buffer[16];
    Pending read, wait;
    DWORD events = 0;
    ASSERT_TRUE(startRead(buffer, 10, read));
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait.ov));

    pty.closeMaster();
    DWORD count = 0;
    ASSERT_TRUE(read.signalled(2000));
    EXPECT_FALSE(GetOverlappedResult(port, &read.ov, &count, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    ASSERT_TRUE(wait.signalled(2000));
    EXPECT_FALSE(GetOverlappedResult(port, &wait.ov, &count, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);

    // Later requests fail at once, and a failed wait leaves its event unsignalled so that an
    // event loop built on it blocks instead of spinning.
    EXPECT_FALSE(WaitCommEvent(port, &events, &wait.ov));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_FALSE(wait.signalled());
    EXPECT_FALSE(WriteFile(port, "x", 1, nullptr, &read.ov));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_FALSE(ReadFile(port, buffer, 1, nullptr, &read.ov));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_FALSE(FlushFileBuffers(port));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_TRUE(PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR));

    EXPECT_TRUE(ioThreadsSleep()) << "the I/O thread spins after the hang-up";
}

TEST_F(CommPortTest, NamesResolveOrFailLikeWindows)
{
    // The probe's form without the device prefix, and any letter case, name the same port,
    // which is busy while this test holds it.
    for (const char *alias : {"COM3", "com3", "\\\\.\\Com3"}) {
        EXPECT_EQ(openPort(alias), INVALID_HANDLE_VALUE) << alias;
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << alias;
    }
    for (const char *missing : {"COM4", "COM0", "COM256", "COM03", "COM", "LPT1", ""}) {
        EXPECT_EQ(openPort(missing), INVALID_HANDLE_VALUE) << missing;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << missing;
    }
    ports.publishPath("/dev/null/nothing", 5);
    EXPECT_EQ(openPort("COM5"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    // A node whose open fails with EIO, as a UART node with no UART behind it can: here the
    // slave of a pseudo-terminal that is still locked.
    const int locked = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(locked, 0);
    ASSERT_EQ(grantpt(locked), 0);
    ports.publishPath(ptsname(locked), 6);
    EXPECT_EQ(openPort("COM6"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    ::close(locked);

    CloseHandle(port);
    port = openPort("com3");
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
}

TEST_F(CommPortTest, ThousandOpenCloseCyclesLeaveNoDescriptorOrThread)
{
    CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
    const int fds = openDescriptors();
    const int tasks = liveThreads();
    for (int i = 0; i < 1000; ++i) {
        HANDLE h = openPort(name);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cycle " << i << " error " << GetLastError();
        ASSERT_TRUE(CloseHandle(h));
    }
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_TRUE(eventually([&] { return liveThreads() == tasks; }))
        << liveThreads() << " tasks, " << tasks << " before";
}

TEST_F(CommPortTest, LineSettingsThatAPtyKeepsReadBack)
{
    for (DWORD baud : {9600u, 115200u, 250000u}) {
        DCB dcb = plainDcb(baud);
        ASSERT_TRUE(SetCommState(port, &dcb)) << baud;
        LineSettings kept;
        ASSERT_EQ(readLineSettings(pty.slave(), kept), 0);
        EXPECT_EQ(kept.speed, baud);
    }
    termios t = slaveTermios();
    EXPECT_EQ(cfgetospeed(&t), speed_t(CBAUDEX)) << "250000 has no speed code of its own";

    DCB dcb = plainDcb(115200);
    dcb.StopBits = TWOSTOPBITS;
    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.XonChar = 0x01;
    dcb.XoffChar = 0x02;
    ASSERT_TRUE(SetCommState(port, &dcb));
    t = slaveTermios();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTART], 0x01);
    EXPECT_EQ(t.c_cc[VSTOP], 0x02);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);

    DCB back{};
    ASSERT_TRUE(GetCommState(port, &back));
    EXPECT_EQ(std::memcmp(&back, &dcb, sizeof dcb), 0);

    dcb = plainDcb(9600);
    ASSERT_TRUE(SetCommState(port, &dcb));
    t = slaveTermios();
    EXPECT_FALSE(t.c_cflag & (CSTOPB | CRTSCTS));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
}

TEST_F(CommPortTest, InvalidDcbFailsWith87AndChangesNothing)
{
    DCB good = plainDcb(19200);
    good.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(SetCommState(port, &good));
    const termios before = slaveTermios();

    struct Case
    {
        const char *what;
        void (*spoil)(DCB &);
    };
    const Case cases[] = {
        {"speed 0", [](DCB &d) { d.BaudRate = 0; }},
        {"4 data bits", [](DCB &d) { d.ByteSize = 4; }},
        {"9 data bits", [](DCB &d) { d.ByteSize = 9; }},
        {"parity 5", [](DCB &d) { d.Parity = 5; }},
        {"stop bits 3", [](DCB &d) { d.StopBits = 3; }},
        {"1.5 stop bits with 8 data bits", [](DCB &d) { d.StopBits = ONE5STOPBITS; }},
        {"2 stop bits with 5 data bits", [](DCB &d) { d.ByteSize = 5, d.StopBits = TWOSTOPBITS; }},
        {"XON equal to XOFF", [](DCB &d) { d.fInX = 1, d.XoffChar = d.XonChar; }},
    };
    for (const Case &c : cases) {
        DCB bad = plainDcb(57600);
        c.spoil(bad);
        EXPECT_FALSE(SetCommState(port, &bad)) << c.what;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.what;
    }
    const termios after = slaveTermios();
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    DCB kept{};
    ASSERT_TRUE(GetCommState(port, &kept));
    EXPECT_EQ(std::memcmp(&kept, &good, sizeof good), 0);
}

TEST_F(CommPortTest, SynchronousHandleBlocksUntilDone)
{
    CloseHandle(port);
    port = openPort(name, 0);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    setTimeouts(port, 0, 0, 1000);
    std::thread farEnd([&] {
        std::this_thread::sleep_for(50ms);
        pty.writeAll("sync");
    });
    char buffer[4] = {};
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(port, buffer, 4, &done, nullptr));
    farEnd.join();
    EXPECT_EQ(std::string(buffer, done), "sync");
    EXPECT_TRUE(WriteFile(port, "back", 4, &done, nullptr));
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(pty.readSome(4, 2s), "back");

    HANDLE overlapped = INVALID_HANDLE_VALUE;
    std::swap(overlapped, port);
    CloseHandle(overlapped);
    port = openPort(name);
    EXPECT_FALSE(ReadFile(port, buffer, 4, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}
