// The guest's side of the rig's control channel (/dev/ttyS2): one text command per call to
// the far ends played on the host, one answer line back. What each command does is listed
// in tests/drivers/rig/FarEnds.cpp. Also the COM names of the two ports under test.
// Called from the test's main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace FarEnd {

// The ports under test as the layer sees them: a port directory (ZEPHRA_PORTS) maps COM1 to
// the 8250's /dev/ttyS1 and COM2 to ftdi_sio's /dev/ttyUSB0.
inline constexpr const char *kUart = "COM1";
inline constexpr const char *kUsb = "COM2";
// The far end's name for the line behind a COM name (S1 or U0).
std::string lineOf(const std::string &comName);
// Makes the port directory and points ZEPHRA_PORTS at it; once per program.
void publishPorts();

// Sends one command; gives the answer without its leading "ok" (an "error" answer or no
// answer within 20 s fails the calling test and gives an empty string).
std::string call(const std::string &command);

// Gives the far end on line a role ("echo", "sink", "paced 960", "module 4=100", ...) once
// the tail of an earlier test has arrived there, so that it deals with this test's bytes only.
void setRole(const std::string &line, const std::string &role);

// What the far end received since its role was last set.
struct Received
{
    std::size_t count = 0;
    std::string fingerprint;
};
Received received(const std::string &line);
// What the far end has received once it has at least expected bytes and nothing more came
// for a while (or after 10 s).
Received settled(const std::string &line, std::size_t expected);

// QEMU's trace lines since the last "mark" that contain text.
int traced(const std::string &text);
// Values written to a UART's modem-control register since the last "mark".
std::vector<unsigned> modemControlWrites();

} // namespace FarEnd
