// The production bench (zephra-cli apply --each) on QEMU's FT232 adapter, pulled and plugged in
// again on the same USB port while the slot waits for a module and while it configures one.
// The far end on the host plays the module. With no udev in the guest, its init keeps the
// adapter's by-path link in ZEPHRA_SERIAL_DIR; after the replug the adapter is published under
// another COM name, as automatic names that follow ttyUSB numbers would do.
#include "tests/drivers/suite/CliProgram.h"
#include "tests/drivers/suite/FarEnd.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The bench's output so far, both streams; waits until text shows in one of them.
struct BenchOutput
{
    QProcess &process;
    std::string out, err;
    bool waitFor(const std::string &text, std::size_t from, int seconds = 20)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < deadline) {
            out += process.readAllStandardOutput().toStdString();
            err += process.readAllStandardError().toStdString();
            if (out.find(text, from) != std::string::npos ||
                err.find(text, from) != std::string::npos)
                return true;
            process.waitForReadyRead(100);
        }
        return false;
    }
};

std::size_t lineCount(const std::string &path)
{
    std::ifstream in(path);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

// Pulls QEMU's adapter and plugs it in again; once its node is back, the COM name the slot was
// given leads nowhere and `comName` leads to the adapter.
void replugAs(const FarEnd::Port &port, const std::string &comName)
{
    FarEnd::call(std::string("unplug ") + port.line);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    FarEnd::call(std::string("plug ") + port.line);
    ASSERT_TRUE(FarEnd::republish(port, 5000));
    const std::string directory = std::getenv("ZEPHRA_PORTS");
    ASSERT_EQ(
        std::rename((directory + "/" + port.com).c_str(), (directory + "/" + comName).c_str()), 0);
}

} // namespace

TEST(Bench, AnAdapterPulledWhileTheSlotWaitsOrWritesResumesAndTheCutModuleGetsNoReceipt)
{
    const FarEnd::Port &port = FarEnd::portOf(FarEnd::kUsb);
    const std::string home = std::getenv("HOME");
    const std::string profile = home + "/bench.ini", log = home + "/bench-receipts.log";
    std::ofstream(profile) << "[ZEPHRA-24]\nbaud=9600\nmode=auto\nrate=250k\npower=-5\n"
                              "channel=42\nrx-id=5A\ntx-id=A5\n";
    std::remove(log.c_str());
    FarEnd::setRole(port.line, "sink");
    QProcess process;
    process.start(cliProgram(), {"apply", port.com, QString::fromStdString(profile), "--each",
                                 "--log", QString::fromStdString(log)});
    ASSERT_TRUE(process.waitForStarted());
    BenchOutput bench{process, {}, {}};

    // Pulled while the slot asks for a module that is not there.
    FarEnd::settled(port.line, 1);
    replugAs(port, "COM9");
    EXPECT_TRUE(bench.waitFor("adapter gone", 0)) << bench.err;
    EXPECT_TRUE(bench.waitFor("adapter back as COM9", 0)) << bench.err;
    FarEnd::call(std::string("role ") + port.line + " module");
    EXPECT_TRUE(bench.waitFor("\tpass\t", 0)) << bench.out << bench.err;
    EXPECT_EQ(lineCount(log), 1u);

    // The module goes; the next one falls silent after the firmware code, its seven settings
    // and two of the seven writes, and the adapter is pulled while the slot waits for it.
    FarEnd::setRole(port.line, "sink");
    // The slot takes the module as gone once a read and its retry went unanswered; a module
    // that came earlier would answer those instead. Its third 12-byte frame asks for the next.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (FarEnd::received(port.line).count < 3 * 12 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_GE(FarEnd::received(port.line).count, 3u * 12) << "the slot never asked again";
    FarEnd::call(std::string("role ") + port.line + " module answers=10");
    FarEnd::settled(port.line, 1);
    const std::size_t outBefore = bench.out.size(), errBefore = bench.err.size();
    FarEnd::call(std::string("unplug ") + port.line);
    EXPECT_TRUE(bench.waitFor("FAIL port error", outBefore)) << bench.out << bench.err;
    EXPECT_TRUE(bench.waitFor("adapter gone", errBefore)) << bench.err;
    EXPECT_EQ(lineCount(log), 1u) << "a receipt for the module that was cut short";
    // Back on the same port: the slot resumes there and configures the module afresh.
    FarEnd::call(std::string("role ") + port.line + " module");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    FarEnd::call(std::string("plug ") + port.line);
    ASSERT_TRUE(FarEnd::republish(port, 5000));
    const std::string directory = std::getenv("ZEPHRA_PORTS");
    ::unlink((directory + "/COM9").c_str());
    std::rename((directory + "/" + port.com).c_str(), (directory + "/COM9").c_str());
    EXPECT_TRUE(bench.waitFor("adapter back as COM9", errBefore)) << bench.err;
    EXPECT_TRUE(bench.waitFor("\tpass\t", outBefore)) << bench.out << bench.err;
    EXPECT_EQ(lineCount(log), 2u);
    std::ifstream receipts(log);
    std::string first, second;
    std::getline(receipts, first);
    std::getline(receipts, second);
    // Both found the adapter by the socket it is plugged into.
    EXPECT_NE(second.find("/serial/by-path/pci-"), std::string::npos) << second;
    EXPECT_NE(second.find("\"port\": \"COM9\""), std::string::npos) << second;

    process.kill();
    process.waitForFinished();
    std::printf("  bench on %s (%s):\n%s%s", port.com, port.driver, bench.out.c_str(),
                bench.err.c_str());
    // The suite's name for the adapter again.
    ::unlink((directory + "/COM9").c_str());
    FarEnd::republish(port, 5000);
    FarEnd::setRole(port.line, "sink");
}
