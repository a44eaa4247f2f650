// Line events on real drivers: a break the far end sends reaches the 8250 and is reported in
// the same batch as the byte it came with; a real overrun of the UART is reported and leaves
// no trace in the data; an idle USB adapter is not polled.
#include "tests/drivers/suite/DriverPort.h"
#include "tests/drivers/suite/FarEnd.h"

#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#ifndef TIOCM_LOOP
#define TIOCM_LOOP 0x8000
#endif

namespace {

constexpr DWORD kEveryEvent = EV_RXCHAR | EV_RXFLAG | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD |
                              EV_BREAK | EV_ERR | EV_RING | EV_RX80FULL;

// The events of the next completed wait; 0 when none came within ms.
DWORD nextEvents(HANDLE port, DWORD ms)
{
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD events = 0;
    if (!WaitCommEvent(port, &events, &ov)) {
        EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
        if (WaitForSingleObject(ov.hEvent, ms) != WAIT_OBJECT_0) {
            DWORD mask = 0;
            GetCommMask(port, &mask);
            SetCommMask(port, mask); // ends the wait before `events` goes away
            events = 0;
        }
    }
    CloseHandle(ov.hEvent);
    return events;
}

} // namespace

// QEMU's UART delivers a break as the line-status bit alone, without the NUL byte a real
// one adds; the byte sent right behind it stands in for that.
TEST(LineEvents, ABreakIsReportedInTheSameBatchAsTheByteBehindIt)
{
    FarEnd::setRole("S1", "sink");
    DriverPort port(FarEnd::kUart, 9600, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    ASSERT_TRUE(SetCommMask(port.handle(), EV_RXCHAR | EV_BREAK | EV_ERR));

    FarEnd::call("break S1");
    FarEnd::call("send S1 41");
    const DWORD events = nextEvents(port.handle(), 5000);

    EXPECT_EQ(events, DWORD(EV_RXCHAR | EV_BREAK));
    DWORD errors = 0;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(port.handle(), &errors, &stat));
    EXPECT_EQ(errors, DWORD(CE_BREAK));
    EXPECT_EQ(stat.cbInQue, 1u);
}

// The UART in loopback sends its own burst into a receive FIFO that the far end keeps full:
// the FIFO overruns for real. The loopback goes on through a second descriptor (the suite
// runs as root, whom the port's exclusive open does not stop).
TEST(LineEvents, ARealUartOverrunGivesCeOverrunAndNoNulInTheData)
{
    FarEnd::setRole("S1", "sink");
    DriverPort port(FarEnd::kUart, 115200, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    const int second = ::open("/dev/ttyS1", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(second, 0);
    int loop = TIOCM_LOOP;
    ASSERT_EQ(ioctl(second, TIOCMBIS, &loop), 0);
    FarEnd::call("flood S1 400000 55");

    const std::string burst(20000, 'A');
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WriteFile(port.handle(), burst.data(), DWORD(burst.size()), nullptr, &ov);
    std::string got;
    DWORD errors = 0;
    for (int i = 0; i < 200 && !(errors & CE_OVERRUN); ++i) {
        got += port.readOverlapped(4096, 100);
        COMSTAT stat{};
        DWORD now = 0;
        ClearCommError(port.handle(), &now, &stat);
        errors |= now;
    }
    FarEnd::call("flood S1 0 55");
    DWORD done = 0;
    GetOverlappedResult(port.handle(), &ov, &done, TRUE);
    CloseHandle(ov.hEvent);
    ioctl(second, TIOCMBIC, &loop);
    ::close(second);
    // What is still on its way goes, so that the next test starts with a quiet line: all of
    // it has come once a byte sent behind it has. That can be most of the flood (the port's
    // queue, the guest's tty buffers, what QEMU holds back), which a TCG guest on a busy host
    // hands over slowly: the wait is for that byte, with a limit only a hang exceeds.
    FarEnd::call("send S1 5A");
    std::string rest;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    while (rest.find('Z') == std::string::npos && std::chrono::steady_clock::now() < limit)
        rest += port.readOverlapped(65536, 500);
    EXPECT_NE(rest.find('Z'), std::string::npos) << "the line never went quiet";

    EXPECT_TRUE(errors & CE_OVERRUN) << std::hex << errors << ", " << got.size() << " bytes";
    EXPECT_EQ(got.find('\0'), std::string::npos);
    EXPECT_EQ(got.find_first_not_of("AU"), std::string::npos);
}

// Every query of the FTDI's modem lines is a USB control transfer, which QEMU traces.
TEST(LineEvents, AnIdleUsbAdapterWaitingForEveryEventIsNotQueried)
{
    FarEnd::setRole("U0", "sink");
    DriverPort port(FarEnd::kUsb, 9600, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    ASSERT_TRUE(SetCommMask(port.handle(), kEveryEvent));
    // Settled: the open's own transfers are behind us.
    EXPECT_EQ(nextEvents(port.handle(), 300), 0u);

    // The count does see queries: three asked for, at least three counted.
    FarEnd::call("mark");
    for (DWORD lines = 0, i = 0; i < 3; ++i)
        ASSERT_TRUE(GetCommModemStatus(port.handle(), &lines));
    EXPECT_GE(FarEnd::traced("usb_serial_handle_control"), 3);

    FarEnd::call("mark");
    EXPECT_EQ(nextEvents(port.handle(), 10000), 0u);
    EXPECT_EQ(FarEnd::traced("usb_serial_handle_control"), 0);
}
