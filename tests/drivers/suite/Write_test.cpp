// Writes on the 8250 complete when their bytes have left the line, not when the kernel took
// them. The far end reads at 9600 bit/s (960 bytes a second), which holds QEMU's emulated
// UART, and through it the driver's queue, at that rate.
#include "tests/drivers/Fingerprint.h"
#include "tests/drivers/suite/DriverPort.h"
#include "tests/drivers/suite/FarEnd.h"

#include <chrono>
#include <thread>

namespace {

constexpr int kPace = 960;

void pacedFarEnd()
{
    FarEnd::setRole("S1", "paced " + std::to_string(kPace));
}

} // namespace

TEST(UartWrite, CompletesAfterAboutTheLineTimeWithTheBytesAtTheFarEnd)
{
    pacedFarEnd();
    DriverPort port(FarEnd::kUart);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    const std::string bytes = patternBytes(2000);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.write(bytes), bytes.size());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const FarEnd::Received atCompletion = FarEnd::received("S1");

    // 2.08 s of line time; only the UART's FIFO and the socket may still hold a few bytes.
    EXPECT_GT(seconds, 1.7);
    EXPECT_LT(seconds, 30.0);
    EXPECT_GE(atCompletion.count, bytes.size() - 64);
}

TEST(UartWrite, CloseRightAfterACompletedWriteLosesNothing)
{
    pacedFarEnd();
    const std::string bytes = patternBytes(1500);
    {
        DriverPort port(FarEnd::kUart);
        ASSERT_TRUE(port.isOpen()) << port.openError();
        EXPECT_EQ(port.write(bytes), bytes.size());
    }
    const FarEnd::Received got = FarEnd::settled("S1", bytes.size());
    EXPECT_EQ(got.count, bytes.size());
    EXPECT_EQ(got.fingerprint, fingerprintOf(bytes));
}

TEST(UartWrite, ATimedOutWriteCountsTheBytesThatLeft)
{
    pacedFarEnd();
    DriverPort port(FarEnd::kUart);
    ASSERT_TRUE(port.isOpen()) << port.openError();
    port.setWriteTimeouts(0, 500);
    const std::string bytes = patternBytes(2000);

    const DWORD done = port.write(bytes);

    // About half a second's worth left; the rest was dropped, not sent later.
    EXPECT_GT(done, 100u);
    EXPECT_LT(done, 1500u);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const FarEnd::Received got = FarEnd::settled("S1", done);
    EXPECT_GE(got.count, done);
    EXPECT_LE(got.count, done + 40);
}
