#include "cli/Capture.h"

#include "cli/Commands.h"
#include "cli/ModuleLink.h"
#include "cli/StopSignal.h"
#include "framework/core/AnsiText.h"
#include "serial/ComPort.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <iostream>

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;
using terminal::View;

// A read's wait for its first byte: how often a stop request, the end of --seconds and an idle
// hex row are seen.
constexpr std::int32_t CaptureReadWaitMs = 50;
constexpr auto FlushPeriod = std::chrono::seconds(1);

volatile std::sig_atomic_t captureInterrupted = 0;

void onCaptureInterrupt(int)
{
    captureInterrupted = 1;
}

void openCapturePort(TComPort &port, const CaptureOptions &options)
{
    setModuleLine(port, options.port);
    port.setBaudRate(brCustom);
    port.setCustomBaudRate(options.baud);
    port.Timeouts().setReadInterval(0);
    port.Timeouts().setReadTotalMultiplier(0);
    port.Timeouts().setReadTotalConstant(CaptureReadWaitMs);
    port.Open();
}

void closeQuietly(TComPort &port)
{
    try {
        port.Close();
    } catch (...) {
        // The capture's outcome is decided; the port's destructor releases the device.
    }
}

} // namespace

int capture(const CaptureOptions &options)
{
    std::ofstream raw;
    if (!options.rawFile.empty()) {
        raw.open(options.rawFile, std::ios::binary | std::ios::trunc);
        if (!raw) {
            std::cerr << "zephra-cli: cannot write " << options.rawFile << "\n";
            return Usage;
        }
    }
    captureInterrupted = 0;
    onStopRequest(onCaptureInterrupt);
    TComPort port;
    openCapturePort(port, options);

    terminal::RowFormer former(options.view,
                               options.stamps ? terminal::Stamps::Absolute : terminal::Stamps::Off);
    const auto show = [&] { std::cout << ansiToUtf8(former.takeClosed()); };
    const auto start = Clock::now();
    const auto end = options.seconds > 0
                         ? start + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(options.seconds))
                         : Clock::time_point::max();
    auto flushed = start;
    std::exception_ptr failure;
    try {
        char buffer[4096];
        while (!captureInterrupted && Clock::now() < end) {
            const std::int32_t count = readArrived(port, buffer, sizeof buffer);
            const auto arrival = std::chrono::system_clock::now();
            if (count > 0) {
                raw.write(buffer, count);
                former.feed({buffer, static_cast<std::size_t>(count)}, arrival);
            } else {
                former.closeIdle(arrival);
            }
            show();
            if (count <= 0 || Clock::now() - flushed >= FlushPeriod) {
                std::cout.flush();
                raw.flush();
                flushed = Clock::now();
            }
        }
    } catch (const EComPort &) {
        failure = std::current_exception();
    }
    closeQuietly(port);
    former.flush();
    show();
    std::cout.flush();
    int status = Done;
    if (raw.is_open() && !raw.flush()) {
        std::cerr << "zephra-cli: cannot write " << options.rawFile << "\n";
        status = Usage;
    }
    if (failure)
        std::rethrow_exception(failure);
    return status;
}

} // namespace cli
