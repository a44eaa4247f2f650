// A USB adapter pulled while the port is open and busy, then plugged in again: QEMU's through
// its monitor, ours by unbinding the gadget from its device controller.
#include "tests/drivers/suite/DriverPort.h"
#include "tests/drivers/suite/FarEnd.h"
#include "tests/support/LiveThreads.h"

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using FarEnd::Port;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

HANDLE openPort(const Port &port)
{
    HANDLE h = CreateFileA(port.com, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return h;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(h, &dcb);
    dcb.BaudRate = 9600;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    SetCommState(h, &dcb);
    COMMTIMEOUTS none{};
    SetCommTimeouts(h, &none);
    return h;
}

// One request left pending on the port.
struct Pending
{
    const char *what;
    OVERLAPPED ov{};
    Pending(const char *name) : what(name)
    {
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Pending() { CloseHandle(ov.hEvent); }
};

class Unplug : public ::testing::TestWithParam<Port>
{
};

} // namespace

TEST_P(Unplug, PendingAndLaterCallsFailTheCloseIsQuickAndTheNameOpensAgainAfterReplug)
{
    const Port &port = GetParam();
    const bool canHold = port.chip != nullptr; // holding QEMU's adapter freezes the guest
    FarEnd::setRole(port.line, canHold ? "hold" : "sink");
    const int threads = liveThreads(), descriptors = openDescriptors();
    HANDLE h = openPort(port);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    ASSERT_TRUE(SetCommMask(h, EV_RXCHAR | EV_CTS | EV_DSR | EV_ERR));

    Pending wait("wait"), read("read"), write("write");
    DWORD events = 0;
    char in[16];
    // More than a driver takes in, so that the write still has bytes of its own to send.
    const std::string out = patternBytes(100000);
    EXPECT_FALSE(WaitCommEvent(h, &events, &wait.ov));
    EXPECT_FALSE(ReadFile(h, in, sizeof in, nullptr, &read.ov));
    std::vector<Pending *> pending = {&wait, &read};
    if (canHold) {
        EXPECT_FALSE(WriteFile(h, out.data(), DWORD(out.size()), nullptr, &write.ov));
        pending.push_back(&write);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (Pending *p : pending)
        ASSERT_EQ(WaitForSingleObject(p->ov.hEvent, 0), DWORD(WAIT_TIMEOUT)) << p->what;

    FarEnd::call(std::string("unplug ") + port.line);
    const auto unplugged = Clock::now();
    for (Pending *p : pending) {
        SCOPED_TRACE(p->what);
        EXPECT_EQ(WaitForSingleObject(p->ov.hEvent, 30000), DWORD(WAIT_OBJECT_0));
        DWORD done = 0;
        EXPECT_FALSE(GetOverlappedResult(h, &p->ov, &done, FALSE));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    }
    EXPECT_LT(secondsSince(unplugged), 10.0);

    // Later calls fail the same way, at once.
    Pending later("later");
    DWORD lines = 0;
    EXPECT_FALSE(ReadFile(h, in, sizeof in, nullptr, &later.ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_FALSE(WriteFile(h, "x", 1, nullptr, &later.ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_FALSE(WaitCommEvent(h, &events, &later.ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    EXPECT_FALSE(GetCommModemStatus(h, &lines));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));

    const auto closing = Clock::now();
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_LT(secondsSince(closing), 10.0);
    EXPECT_EQ(liveThreads(), threads);
    EXPECT_EQ(openDescriptors(), descriptors);

    // Plugged in again: the same COM name opens again, and data flows.
    FarEnd::setRole(port.line, "echo");
    FarEnd::call(std::string("plug ") + port.line);
    const auto plugged = Clock::now();
    HANDLE again = INVALID_HANDLE_VALUE;
    while (again == INVALID_HANDLE_VALUE && secondsSince(plugged) < 60) {
        if (FarEnd::republish(port, 50))
            again = openPort(port);
    }
    ASSERT_NE(again, INVALID_HANDLE_VALUE) << GetLastError();
    std::printf("  %s (%s) opens again %.2f s after the replug, as %s\n", port.com, port.driver,
                secondsSince(plugged), FarEnd::nodeOf(port).c_str());
    CloseHandle(again);
    DriverPort echo(port.com);
    ASSERT_TRUE(echo.isOpen()) << echo.openError();
    EXPECT_EQ(echo.write("back again"), 10u);
    EXPECT_EQ(echo.read(10, 5000), "back again");
}

INSTANTIATE_TEST_SUITE_P(Drivers, Unplug,
                         ::testing::Values(FarEnd::portOf("COM2"), FarEnd::portOf("COM4"),
                                           FarEnd::portOf("COM5"), FarEnd::portOf("COM6"),
                                           FarEnd::portOf("COM7"), FarEnd::portOf("COM8")),
                         [](const auto &info) { return std::string(info.param.com); });
