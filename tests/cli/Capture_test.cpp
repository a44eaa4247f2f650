// zephra-cli capture as a logger runs it: the real program on a pty whose far end the test
// writes, judged by its output, its raw file and its exit status.
#include "tests/cli/CliRun.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <termios.h>

namespace {

// Bytes that come before the program has set the line up belong to nobody: waits until the
// pty runs at the capture's rate.
void awaitLineSetUp(const PtyPair &pty, speed_t rate = B19200)
{
    termios settings{};
    while (tcgetattr(pty.slave(), &settings) == 0 && cfgetospeed(&settings) != rate)
        ::usleep(1000);
}

TEST(Capture, PrintsStampedHexRowsAndKeepsTheRawBytesUntilInterrupted)
{
    const Watchdog watchdog(std::chrono::seconds(60));
    PortDirectory directory;
    PtyPair pty;
    const std::string raw = directory.path() + "/raw.bin";
    ChildProcess capture(ZEPHRA_CLI_PROGRAM, {"capture", directory.publish(pty, 4), "--baud",
                                              "19200", "--view", "hex", "--stamps", "--raw", raw});
    awaitLineSetUp(pty);
    const std::string bytes = "ping\r\n" + std::string("\0\xff", 2) + "0123456789";
    pty.writeAll(bytes);
    const std::string stamp = R"(\d\d:\d\d:\d\d\.\d{3} )";
    const std::string full = capture.line(), rest = capture.line();
    EXPECT_TRUE(std::regex_match(
        full,
        std::regex(stamp + "70 69 6E 67 0D 0A 00 FF 30 31 32 33 34 35 36 37  ping....01234567")))
        << full;
    // The short row ends with the pause after it.
    EXPECT_TRUE(std::regex_match(rest, std::regex(stamp + "38 39 {44}89"))) << rest;
    capture.signal(SIGINT);
    EXPECT_EQ(capture.finish(), 0) << capture.err;
    std::ifstream file(raw, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), bytes);
}

TEST(Capture, EndsAfterItsSecondsOrWithTheDevice)
{
    const Watchdog watchdog(std::chrono::seconds(60));
    PortDirectory directory;
    PtyPair pty;
    const std::string port = directory.publish(pty, 5);
    const CliRun timed = cli({"capture", port, "--baud", "19200", "--seconds", "0.5"});
    EXPECT_EQ(timed.status, 0) << timed.err;

    ChildProcess lost(ZEPHRA_CLI_PROGRAM, {"capture", port, "--baud", "9600", "--view", "lines"});
    awaitLineSetUp(pty, B9600);
    pty.writeAll("row\nopen row");
    EXPECT_EQ(lost.line(), "row");
    pty.closeMaster();
    EXPECT_EQ(lost.finish(), 2);
    EXPECT_EQ(lost.out, "open row\n");
    EXPECT_NE(lost.err.find("The device is gone"), std::string::npos) << lost.err;
}

} // namespace
