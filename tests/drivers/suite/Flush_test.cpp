// FlushFileBuffers on the drivers that can tell when their transmitter is empty: the 8250
// (the UART's TEMT; its far end holds the line by not reading) and our FT232 and CP2102,
// whose far ends report a busy transmitter on command while they take every byte.
#include "tests/drivers/suite/DriverPort.h"
#include "tests/drivers/suite/FarEnd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>

namespace {

using Clock = std::chrono::steady_clock;
using FarEnd::Port;

std::vector<Port> reportingPorts()
{
    std::vector<Port> ports;
    for (const Port &port : FarEnd::ports())
        if (port.line == std::string("S1") || (port.chip && (port.chip == std::string("ft232") ||
                                                             port.chip == std::string("cp2102"))))
            ports.push_back(port);
    return ports;
}

class Flush : public ::testing::TestWithParam<Port>
{
protected:
    const Port &port() const { return GetParam(); }
    bool uart() const { return port().chip == nullptr; }
    // The far end keeps the transmitter from emptying, or lets it empty.
    void holdTransmitter(bool hold)
    {
        // A plain role switch: what the UART holds back arrives once the far end reads again.
        FarEnd::call(uart() ? std::string("role ") + port().line + (hold ? " hold" : " sink")
                            : std::string("temt ") + port().line + (hold ? " 0" : " 1"));
    }
    void TearDown() override { holdTransmitter(false); }
};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

// While the far end holds the transmitter busy the flush has not returned, and gives up with
// 121 after its bound (1 s plus the line time of what was queued); once the far end reports
// the transmitter empty, a flush returns with success.
TEST_P(Flush, ReturnsOnceTheFarEndReportsItsTransmitterEmpty)
{
    FarEnd::setRole(port().line, "sink");
    DriverPort open(port().com, 9600, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(open.isOpen()) << open.openError();
    holdTransmitter(true);
    // The UART's bytes stay in the layer and the kernel; our adapters' far ends take them
    // and keep reporting the transmitter busy.
    const std::string bytes = patternBytes(200);
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const BOOL written = WriteFile(open.handle(), bytes.data(), DWORD(bytes.size()), nullptr, &ov);
    ASSERT_TRUE(written || GetLastError() == ERROR_IO_PENDING) << GetLastError();
    if (!uart()) {
        DWORD done = 0;
        ASSERT_TRUE(GetOverlappedResult(open.handle(), &ov, &done, TRUE)) << GetLastError();
        EXPECT_EQ(FarEnd::settled(port().line, bytes.size()).count, bytes.size());
    }

    auto start = Clock::now();
    EXPECT_FALSE(FlushFileBuffers(open.handle()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SEM_TIMEOUT));
    const double boundSeconds = secondsSince(start);
    EXPECT_GE(boundSeconds, 0.9);
    EXPECT_LT(boundSeconds, 10.0) << "the bound is 1 s plus the line time of 200 bytes";

    start = Clock::now();
    auto flushed = std::async(std::launch::async, [&] {
        const BOOL ok = FlushFileBuffers(open.handle());
        return ok ? ERROR_SUCCESS : GetLastError();
    });
    EXPECT_EQ(flushed.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
        << "returned with the transmitter busy";
    holdTransmitter(false);
    const auto releasedAt = Clock::now();
    EXPECT_EQ(flushed.get(), DWORD(ERROR_SUCCESS));
    const double afterRelease = std::chrono::duration<double>(Clock::now() - releasedAt).count();
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(FarEnd::settled(port().line, bytes.size()).count, bytes.size());
    CloseHandle(ov.hEvent);
    std::printf("  %s (%s): busy flush failed after %.2f s; returned %.3f s after the far end "
                "let the transmitter empty\n",
                port().com, port().driver, boundSeconds, afterRelease);
}

// Our adapter pulled while a flush waits for bytes its far end does not take: the flush fails
// with 31. The bytes go into the driver's queue past the layer (a second descriptor of the node),
// so that the layer's own writes are done and the flush waits in the driver. The unplug ends that
// wait successfully: only asking the device again afterwards tells the loss from bytes sent. At
// 1200 bit/s the flush's own bound (1 s plus the line time of what is queued) is many seconds
// away.
TEST_P(Flush, FailsWith31WhenTheAdapterIsPulledMeanwhile)
{
    if (uart())
        GTEST_SKIP() << "the 8250 cannot be pulled";
    FarEnd::setRole(port().line, "hold");
    DriverPort open(port().com, 1200, FILE_FLAG_OVERLAPPED);
    ASSERT_TRUE(open.isOpen()) << open.openError();
    const int fd = ::open(FarEnd::nodeOf(port()).c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << errno;
    const std::string bytes = patternBytes(2000);
    const ssize_t queued = ::write(fd, bytes.data(), bytes.size());
    ::close(fd);
    ASSERT_GT(queued, 0) << errno;
    const auto start = Clock::now();
    auto flushed = std::async(std::launch::async, [&] {
        const BOOL ok = FlushFileBuffers(open.handle());
        return ok ? ERROR_SUCCESS : GetLastError();
    });
    EXPECT_EQ(flushed.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    FarEnd::call(std::string("unplug ") + port().line);
    const DWORD result = flushed.get();
    const double seconds = secondsSince(start);
    EXPECT_EQ(result, DWORD(ERROR_GEN_FAILURE));
    EXPECT_FALSE(FlushFileBuffers(open.handle()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));
    std::printf("  %s (%s): flush of %zd queued bytes ended by the unplug with %lu after %.2f s\n",
                port().com, port().driver, queued, static_cast<unsigned long>(result), seconds);
    FarEnd::call(std::string("plug ") + port().line);
    EXPECT_TRUE(FarEnd::republish(port(), 5000));
}

INSTANTIATE_TEST_SUITE_P(Drivers, Flush, ::testing::ValuesIn(reportingPorts()),
                         [](const ::testing::TestParamInfo<Port> &info) {
                             return std::string(info.param.com) + "_" +
                                    (info.param.chip ? info.param.chip : info.param.driver);
                         });
