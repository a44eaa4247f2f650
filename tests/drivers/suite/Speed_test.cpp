// Speeds a driver cannot make are refused with 87 and leave the previous settings; the ones
// it can make are taken. What the emulated UART was programmed with shows in QEMU's trace.
#include "tests/drivers/suite/DriverPort.h"
#include "tests/drivers/suite/FarEnd.h"

namespace {

DWORD trySpeed(HANDLE port, DWORD speed)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = speed;
    return SetCommState(port, &dcb) ? ERROR_SUCCESS : GetLastError();
}

} // namespace

TEST(Speed, TheUartTakesItsDivisorRatesAndRefusesTheRest)
{
    FarEnd::setRole("S1", "echo");
    DriverPort port(FarEnd::kUart);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    FarEnd::call("mark");
    for (DWORD speed : {9600, 19200, 115200, 38400})
        EXPECT_EQ(trySpeed(port.handle(), speed), DWORD(ERROR_SUCCESS)) << speed;
    EXPECT_GT(FarEnd::traced("baudrate=38400 "), 0);

    // Above the UART's clock the driver would keep its old speed; 31250 would run at 28800.
    FarEnd::call("mark");
    for (DWORD speed : {250000, 31250}) {
        EXPECT_EQ(trySpeed(port.handle(), speed), DWORD(ERROR_INVALID_PARAMETER)) << speed;
        EXPECT_EQ(port.state().BaudRate, 38400u) << speed;
    }
    EXPECT_EQ(FarEnd::traced("baudrate=28800 "), 0);
    EXPECT_EQ(FarEnd::traced("baudrate=115200 "), 0);

    // The line still runs at the speed it had.
    EXPECT_EQ(port.write("still here"), 10u);
    EXPECT_EQ(port.read(10, 5000), "still here");
}

TEST(Speed, TheUsbAdapterRefusesWhatItsDriverReplaces)
{
    FarEnd::setRole("U0", "echo");
    DriverPort port(FarEnd::kUsb);
    ASSERT_TRUE(port.isOpen()) << port.openError();

    EXPECT_EQ(trySpeed(port.handle(), 4000000), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(port.state().BaudRate, 9600u);
    for (DWORD speed : {19200, 115200})
        EXPECT_EQ(trySpeed(port.handle(), speed), DWORD(ERROR_SUCCESS)) << speed;
    EXPECT_EQ(port.write("still here"), 10u);
    EXPECT_EQ(port.read(10, 5000), "still here");
}
