// One suite over every driver: speeds, output and input lines, line errors, and a far end that
// stops reading, each on all ports whose far end can play it. Where a driver or its chip's
// protocol cannot carry something, the table below says so and the test checks what happens
// instead.
#include "tests/drivers/suite/DriverPort.h"
#include "tests/drivers/suite/FarEnd.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using FarEnd::Port;

// What each driver with our own far end carries, as read in its source.
struct Carries
{
    const char *driver;
    DWORD modemLines;  // MS_* bits a far-end change reaches the host with
    DWORD wakingLines; // of those, the ones whose change the driver announces (wakes a wait)
    bool marksErrors;  // received errors come marked on their bytes (else only counted)
    DWORD fastest = 0; // the driver takes any higher speed and programs this one
    // The driver marks the bytes but counts no error: the mark is the same for parity and
    // framing, and an overrun, which has no byte, is lost.
    bool countsErrors = true;
};
const Carries kCarries[] = {
    {"ftdi_sio", MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON,
     MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, true},
    // SERIAL_STATE has no CTS bit: cdc_acm always reports CTS on.
    {"cdc_acm", MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, false},
    {"pl2303", MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON,
     MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, true, 0, false},
    {"ch341", MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON,
     MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, false, 3000000},
    {"cp210x", MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON,
     MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON, true},
};

const Carries &carries(const Port &port)
{
    for (const Carries &c : kCarries)
        if (std::string(c.driver) == port.driver)
            return c;
    return kCarries[0];
}

std::map<std::string, std::string> farState(const Port &port)
{
    std::istringstream in(FarEnd::call(std::string("state ") + port.line));
    std::map<std::string, std::string> state;
    for (std::string item; in >> item;)
        if (const auto eq = item.find('='); eq != std::string::npos)
            state[item.substr(0, eq)] = item.substr(eq + 1);
    return state;
}

DWORD trySpeed(HANDLE handle, DWORD speed)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle, &dcb);
    dcb.BaudRate = speed;
    return SetCommState(handle, &dcb) ? ERROR_SUCCESS : GetLastError();
}

bool within2Percent(double actual, double wanted)
{
    return actual > wanted * 0.98 && actual < wanted * 1.02;
}

// The events of the next wait that ends within ms (0 when none).
DWORD nextEvents(HANDLE handle, DWORD ms)
{
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD events = 0;
    if (!WaitCommEvent(handle, &events, &ov)) {
        if (WaitForSingleObject(ov.hEvent, ms) != WAIT_OBJECT_0) {
            DWORD mask = 0;
            GetCommMask(handle, &mask);
            SetCommMask(handle, mask);
            events = 0;
        }
    }
    CloseHandle(ov.hEvent);
    return events;
}

class Adapter : public ::testing::TestWithParam<Port>
{
protected:
    const Port &port() const { return GetParam(); }
    bool ours() const { return port().chip != nullptr; }
};

std::string nameOf(const ::testing::TestParamInfo<Port> &info)
{
    return std::string(info.param.com) + "_" +
           (info.param.chip ? info.param.chip : info.param.driver);
}

} // namespace

TEST_P(Adapter, SpeedsTheChipMakesAreTakenTheOthersRefusedAndThePreviousKept)
{
    FarEnd::setRole(port().line, "sink");
    DriverPort open(port().com);
    ASSERT_TRUE(open.isOpen()) << open.openError();
    std::string taken;
    for (DWORD speed : {1200, 9600, 19200, 31250, 115200, 250000, 921600, 4000000}) {
        const DWORD before = open.state().BaudRate;
        const DWORD error = trySpeed(open.handle(), speed);
        const DWORD now = open.state().BaudRate;
        if (error == ERROR_SUCCESS) {
            EXPECT_EQ(now, speed);
            taken += " " + std::to_string(speed);
        } else {
            EXPECT_EQ(error, DWORD(ERROR_INVALID_PARAMETER)) << speed;
            EXPECT_EQ(now, before) << speed;
        }
        // What the chip was programmed with is the rate the layer reports.
        if (ours()) {
            const double programmed = std::stod(farState(port())["speed"]);
            const DWORD fastest = carries(port()).fastest;
            if (fastest && now > fastest) {
                EXPECT_EQ(programmed, fastest) << speed;
                std::printf("  %s (%s) differs: %lu reported, %.0f programmed\n", port().com,
                            port().driver, (unsigned long)now, programmed);
                continue;
            }
            EXPECT_TRUE(within2Percent(programmed, now))
                << speed << " asked, " << now << " reported, " << programmed << " programmed";
        }
    }
    for (DWORD speed : {9600, 19200, 115200})
        EXPECT_NE(taken.find(" " + std::to_string(speed)), std::string::npos) << speed;
    RecordProperty("taken", taken);
    std::printf("  %s (%s) takes%s\n", port().com, port().driver, taken.c_str());
}

TEST_P(Adapter, DtrAndRtsAreAsTheDcbSaysAndTheOpenPulseIsListed)
{
    if (!ours())
        GTEST_SKIP() << "the 8250's lines are checked in Open; QEMU's adapter shows none";
    const int raisesBefore = std::stoi(farState(port())["raises"]);
    {
        HANDLE h = CreateFileA(port().com, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(h, &dcb);
        for (const auto &[dtr, rts] : {std::pair{true, true}, std::pair{false, true},
                                       std::pair{true, false}, std::pair{false, false}}) {
            dcb.BaudRate = 9600;
            dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
            dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
            ASSERT_TRUE(SetCommState(h, &dcb));
            auto state = farState(port());
            EXPECT_EQ(state["dtr"], dtr ? "1" : "0") << dtr << rts;
            EXPECT_EQ(state["rts"], rts ? "1" : "0") << dtr << rts;
        }
        CloseHandle(h);
    }
    // An open whose DCB keeps both lines down: what rises on the way is the driver's.
    const int before = std::stoi(farState(port())["raises"]);
    {
        HANDLE h = CreateFileA(port().com, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(h, &dcb);
        dcb.BaudRate = 9600;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        ASSERT_TRUE(SetCommState(h, &dcb));
        auto state = farState(port());
        EXPECT_EQ(state["dtr"], "0");
        EXPECT_EQ(state["rts"], "0");
        CloseHandle(h);
    }
    const int pulse = std::stoi(farState(port())["raises"]) - before;
    std::printf("  %s (%s): %d line rises through an open that keeps them down (%d in all)\n",
                port().com, port().driver, pulse, before - raisesBefore);
    RecordProperty("raisesAtOpen", pulse);
}

TEST_P(Adapter, ModemInputsFromTheFarEndWakeTheirEventsAndShowInTheStatus)
{
    if (!ours())
        GTEST_SKIP() << "the far ends of QEMU's ports have no modem lines";
    const Carries &c = carries(port());
    FarEnd::call(std::string("modem ") + port().line);
    DriverPort open(port().com, 9600, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(open.isOpen()) << open.openError();
    ASSERT_TRUE(SetCommMask(open.handle(), EV_CTS | EV_DSR | EV_RLSD | EV_RING));
    struct Input
    {
        const char *name;
        DWORD bit, event;
    };
    for (const Input input :
         {Input{"cts", MS_CTS_ON, EV_CTS}, Input{"dsr", MS_DSR_ON, EV_DSR},
          Input{"dcd", MS_RLSD_ON, EV_RLSD}, Input{"ri", MS_RING_ON, EV_RING}}) {
        SCOPED_TRACE(input.name);
        FarEnd::call(std::string("modem ") + port().line + " " + input.name);
        const DWORD events = nextEvents(open.handle(), (c.wakingLines & input.bit) ? 3000 : 500);
        DWORD lines = 0;
        ASSERT_TRUE(GetCommModemStatus(open.handle(), &lines));
        if (c.wakingLines & input.bit) {
            EXPECT_EQ(events & input.event, input.event);
        } else {
            EXPECT_EQ(events & input.event, 0u) << "the driver announces it now";
        }
        if (c.modemLines & input.bit) {
            EXPECT_TRUE(lines & input.bit) << std::hex << lines;
        }
        FarEnd::call(std::string("modem ") + port().line);
        const DWORD off = nextEvents(open.handle(), 500);
        ASSERT_TRUE(GetCommModemStatus(open.handle(), &lines));
        if (c.modemLines & input.bit) {
            EXPECT_FALSE(lines & input.bit) << std::hex << lines;
        }
        if ((c.wakingLines & input.bit) && input.event != EV_RING) {
            EXPECT_EQ(off & input.event, input.event);
        }
    }
}

// Windows' rules for a received byte with an error: CE_* and EV_ERR (EV_BREAK for a break);
// with fErrorChar the byte becomes ErrorChar; a break brings no byte.
TEST_P(Adapter, LineErrorsAreReportedAndTheirBytesDeliveredAsTheDcbAsks)
{
    if (!ours())
        GTEST_SKIP() << "QEMU's ports make no parity, framing or overrun errors";
    FarEnd::setRole(port().line, "sink");
    DriverPort open(port().com, 9600, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(open.isOpen()) << open.openError();
    DCB dcb = open.state();
    dcb.Parity = EVENPARITY;
    dcb.ErrorChar = '?';
    struct Case
    {
        const char *kind; // the far end sends "A" with this error ("-": "\0A" plainly), then "B"
        bool parity, errorChar, null;
        DWORD error, event;
        const char *bytes; // what ReadFile gives
    };
    const Case cases[] = {
        {"p", true, true, false, CE_RXPARITY, EV_ERR, "?B"},
        {"f", true, true, false, CE_FRAME, EV_ERR, "?B"},
        {"o", true, true, false, CE_OVERRUN, EV_ERR, "AB"},
        {"b", true, true, false, CE_BREAK, EV_BREAK, "B"},
        // Without ErrorChar a damaged byte comes as it was received, whatever the driver.
        {"p", true, false, false, CE_RXPARITY, EV_ERR, "AB"},
        // Without parity checking an overrun still brings no NUL.
        {"o", false, false, false, CE_OVERRUN, EV_ERR, "AB"},
        // fNull drops received NULs.
        {"-", false, false, true, 0, 0, "AB"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(std::string(k.kind) + (k.parity ? " checked" : " unchecked") +
                     (k.errorChar ? " replaced" : ""));
        dcb.fParity = k.parity;
        dcb.fErrorChar = k.errorChar;
        dcb.fNull = k.null;
        ASSERT_TRUE(SetCommState(open.handle(), &dcb));
        // What the chip can carry may depend on what the driver asked for.
        if (k.error && farState(port())["errors"].find(k.kind) == std::string::npos) {
            std::printf("  %s (%s): error %s %s not carried by the chip's protocol\n", port().com,
                        port().driver, k.kind,
                        k.parity ? "with parity checking" : "without parity checking");
            continue;
        }
        ASSERT_TRUE(SetCommMask(open.handle(), EV_ERR | EV_BREAK | EV_RXCHAR));
        if (k.error)
            FarEnd::call(std::string("error ") + port().line + " " + k.kind + " 41");
        else
            FarEnd::call(std::string("send ") + port().line + " 0041");
        FarEnd::call(std::string("send ") + port().line + " 42");
        // An error is reported with the bytes it came with (or ahead of them).
        DWORD events = 0;
        for (int i = 0; i < 10 && events == 0; ++i)
            events |= nextEvents(open.handle(), 1000);
        const std::string bytes = open.readOverlapped(8, 2000, 200);
        events |= nextEvents(open.handle(), 50);
        DWORD errors = 0;
        COMSTAT stat{};
        ASSERT_TRUE(ClearCommError(open.handle(), &errors, &stat));
        if (!carries(port()).countsErrors && k.error & (CE_FRAME | CE_OVERRUN)) {
            const bool lost = k.error == CE_OVERRUN;
            EXPECT_EQ(events & (EV_ERR | EV_BREAK), lost ? 0u : DWORD(EV_ERR));
            EXPECT_EQ(errors, lost ? 0u : DWORD(CE_RXPARITY));
            EXPECT_EQ(bytes, k.bytes);
            continue;
        }
        EXPECT_EQ(events & (EV_ERR | EV_BREAK), k.event);
        EXPECT_EQ(errors, k.error);
        // A driver that only counts parity and framing errors hands the byte over as it came.
        if (carries(port()).marksErrors || !(k.error & (CE_RXPARITY | CE_FRAME))) {
            EXPECT_EQ(bytes, k.bytes);
        } else {
            EXPECT_EQ(bytes, "AB");
        }
    }
}

// fAbortOnError: a line error ends the pending read with 995, and reads are refused until
// ClearCommError has collected the error.
TEST_P(Adapter, ALineErrorAbortsTheReadUntilTheErrorIsCollected)
{
    if (!ours())
        GTEST_SKIP() << "QEMU's ports make no parity errors";
    FarEnd::setRole(port().line, "sink");
    DriverPort open(port().com, 9600, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(open.isOpen()) << open.openError();
    DCB dcb = open.state();
    dcb.Parity = EVENPARITY;
    dcb.fParity = TRUE;
    dcb.fAbortOnError = TRUE;
    ASSERT_TRUE(SetCommState(open.handle(), &dcb));
    if (farState(port())["errors"].find('p') == std::string::npos)
        GTEST_SKIP() << "the chip's protocol carries no parity error";
    COMMTIMEOUTS none{};
    ASSERT_TRUE(SetCommTimeouts(open.handle(), &none));
    char in[10];
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(ReadFile(open.handle(), in, sizeof in, nullptr, &ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));

    FarEnd::call(std::string("error ") + port().line + " p 41");
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 5000), DWORD(WAIT_OBJECT_0));
    DWORD done = 0;
    EXPECT_FALSE(GetOverlappedResult(open.handle(), &ov, &done, FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_OPERATION_ABORTED));
    EXPECT_FALSE(ReadFile(open.handle(), in, sizeof in, nullptr, &ov));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_OPERATION_ABORTED));

    DWORD errors = 0;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(open.handle(), &errors, &stat));
    EXPECT_TRUE(errors & CE_RXPARITY) << std::hex << errors;
    EXPECT_EQ(open.readOverlapped(1, 2000), "A");
    CloseHandle(ov.hEvent);
}

// The far end stops reading: the write stays pending, cbOutQue counts no more than is in
// flight, and closing does not wait for bytes that cannot leave.
TEST_P(Adapter, AFarEndThatStopsReadingHoldsTheWriteAndDoesNotHoldTheClose)
{
    if (port().line == std::string("U0"))
        GTEST_SKIP() << "holding QEMU's adapter freezes the guest";
    FarEnd::setRole(port().line, "hold");
    DriverPort open(port().com, 9600, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(open.isOpen()) << open.openError();
    // Less than one of cdc_acm's transfer buffers, which its queue count gives whole.
    const std::string bytes = patternBytes(3000);
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const BOOL done = WriteFile(open.handle(), bytes.data(), DWORD(bytes.size()), nullptr, &ov);
    EXPECT_FALSE(done);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 1000), DWORD(WAIT_TIMEOUT));
    DWORD errors = 0;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(open.handle(), &errors, &stat));
    EXPECT_GT(stat.cbOutQue, 0u);
    EXPECT_LE(stat.cbOutQue, bytes.size());

    const auto start = Clock::now();
    ASSERT_TRUE(CloseHandle(open.handle()));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // 1 s plus the line time of what the kernel may still hold (a few KiB at 9600 bit/s).
    EXPECT_LT(seconds, 1.0 + 8192 * 10 / 9600.0) << seconds;
    std::printf("  %s (%s): cbOutQue %lu of %zu, closed in %.2f s\n", port().com, port().driver,
                (unsigned long)stat.cbOutQue, bytes.size(), seconds);
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), DWORD(WAIT_OBJECT_0));
    CloseHandle(ov.hEvent);
    FarEnd::setRole(port().line, "sink");
    // The port opens again at once.
    DriverPort again(port().com);
    EXPECT_TRUE(again.isOpen()) << again.openError();
}

TEST_P(Adapter, AWriteCompletesOnceTheFarEndHasTakenItsBytes)
{
    if (!ours())
        GTEST_SKIP() << "the 8250's write timing is checked in UartWrite";
    FarEnd::setRole(port().line, "sink");
    DriverPort open(port().com);
    ASSERT_TRUE(open.isOpen()) << open.openError();
    const std::string bytes = patternBytes(3000);
    EXPECT_EQ(open.write(bytes), bytes.size());
    // The far end counts a transfer just after it has acknowledged it: half a second's grace
    // for the count, not for the write.
    std::size_t count = 0;
    for (int i = 0; i < 50 && (count = FarEnd::received(port().line).count) < bytes.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(count, bytes.size());
}

// The serial component's DTR, RTS and a 250 ms break, as the test tab uses them, reach the far
// end: as the UART's register writes, or as our chip's state and one break.
TEST_P(Adapter, TheComponentsDtrRtsAndBreakReachTheFarEnd)
{
    const bool uart = std::string(port().driver) == "8250";
    if (!ours() && !uart)
        GTEST_SKIP() << "QEMU's adapter shows neither its lines nor a break";
    TComPort com;
    com.setPort(port().com);
    com.setEvents({});
    com.Open();
    FarEnd::call("mark");
    const int breaks = uart ? 0 : std::stoi(farState(port())["breaks"]);
    for (const unsigned lines : {1u, 3u, 2u, 0u}) { // DTR 1, RTS 2, as in the UART's register
        com.SetDTR(lines & 1);
        com.SetRTS(lines & 2);
        const auto mcr = uart ? FarEnd::modemControlWrites() : std::vector<unsigned>{};
        auto far = uart ? std::map<std::string, std::string>{} : farState(port());
        EXPECT_EQ(uart ? (mcr.empty() ? 99 : mcr.back() & 3)
                       : (far["dtr"] == "1") | (far["rts"] == "1") << 1,
                  lines);
    }
    // Our CDC device cannot announce the break capability, so its driver refuses a break.
    if (std::string(port().driver) == "cdc_acm") {
        EXPECT_THROW(com.SetBreak(true), EComPort);
        return;
    }
    com.SetBreak(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    com.SetBreak(false);
    if (uart) {
        int on = 0; // line-control writes with the break bit (0x40), without DLAB (0x80)
        for (const char *high : {"4", "5", "6", "7"})
            on += FarEnd::traced(std::string("addr 0x03 val 0x") + high);
        EXPECT_EQ(on, 1);
        EXPECT_EQ(FarEnd::traced("addr 0x03 val 0x"), 2); // and the one that let it go
    } else {
        auto far = farState(port());
        EXPECT_EQ(std::stoi(far["breaks"]) - breaks, 1);
        EXPECT_EQ(far["break"], "0");
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, Adapter, ::testing::ValuesIn(FarEnd::ports()), nameOf);
