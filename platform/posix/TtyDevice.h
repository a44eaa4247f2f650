// Opening and releasing a serial device node for a comm port: one descriptor, non-blocking,
// held exclusively (flock plus TIOCEXCL, so a second opener is refused even as root), and
// the few queue controls the port needs. Called by the port under its own lock.
#pragma once

#include "platform/posix/LineSettings.h"
#include "platform/win32types.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace TtyDevice {

// Half the 4 KiB buffer a line discipline hands over per read. A read that finds less has
// emptied the device; a wake-up that finds more cannot tell the rate of the input (the sender
// may have been held back by that buffer).
constexpr std::size_t HalfLineBuffer = 2048;

// The descriptor of the opened device, or -1 with the Win32 error in error: 2 for a path that
// is missing or no terminal device, 5 for a device in use or not accessible.
int openExclusive(const std::string &path, DWORD &error);
// Drops unsent output first, so that closing never waits for a stalled line to drain. A
// driver that waits in close() all the same (for transfers in flight, up to its closing_wait)
// is interrupted after limitMs; what it still held is then dropped.
void release(int fd, long limitMs = 1000);
// Waits until the device has sent its output queue, where the driver can tell down to an
// empty transmitter (tcdrain). 0 once sent; ETIMEDOUT when limitMs passed first (the wait is
// ended); else the errno of the failed wait (EIO and the like for a device that has gone).
int drain(int fd, long limitMs);
// Sets speed 0 with the other settings kept, once a UART's transmitter has sent what it
// holds (waiting a bounded time): a rate changed under a sending UART garbles its last bytes.
void leaveHungUp(int fd, const LineSettings &settings);

// Whether fd is a pseudo-terminal (either side): a device whose bytes never come with line
// errors (no parity, framing, overrun or break).
bool isPseudoTerminal(int fd);

// The clock a UART divides to make its rate (TIOCGSERIAL's baud_base), or 0 for a device
// that is no UART (USB adapters, pseudo-terminals).
std::uint32_t uartBaudBase(int fd);

// Bytes waiting in the kernel's output queue (0 where the device cannot tell).
unsigned outputQueue(int fd);
// The same, with the errno of a failed question: 0, or EIO and the like for a device that
// has gone (a gone device's queue is empty, but not because its bytes left).
int outputQueue(int fd, unsigned &count);
// Whether the device still answers a question its driver puts to the hardware (the modem
// lines; a driver that keeps them itself answers from memory): 0, or the errno of the failed
// question (EIO after the hang-up, EPROTO, ENODEV and the like from an adapter that has gone
// but is not hung up yet). A device without modem lines counts as answering.
int answers(int fd);
void flushInput(int fd);
void flushOutput(int fd);

} // namespace TtyDevice
