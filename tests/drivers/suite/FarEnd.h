// The guest's side of the far ends: the rig's control channel (/dev/ttyS2) to the far ends
// played on the host, and the pipes of our own USB adapters (driver-gadget) in the guest.
// One text command per call, its second word naming the line, one answer line back. What each
// command does is listed in tests/drivers/rig/FarEnds.cpp and tests/drivers/gadget/main.cpp.
// Also the COM names of the ports under test. Called from the test's main thread only.
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
// The ports under test, one for each driver: COM1 and COM2 above, then our own adapters.
struct Port
{
    const char *driver; // the kernel's driver: 8250 ftdi_sio cdc_acm pl2303 ch341 cp210x
    const char *com;
    const char *line; // the far end's name for it
    const char *chip; // driver-gadget's chip; null for the rig's far ends on the host
};
const std::vector<Port> &ports();
const Port &portOf(const std::string &comName);
// Makes the port directory, starts our adapters, points each COM name at its driver's node
// and ZEPHRA_PORTS at the directory; once per program.
void publishPorts();
// Points the COM name of an adapter at its node again (the node may change at a replug);
// false when none shows within the time given.
bool republish(const Port &port, int timeoutMs);
// The node a COM name points at now.
std::string nodeOf(const Port &port);

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
