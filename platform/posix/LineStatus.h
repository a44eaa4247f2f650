// The seam under a comm port's I/O thread for what a pseudo-terminal cannot show: modem input
// lines, line-error counters, and the DTR/RTS outputs. The real source uses TIOCMGET,
// TIOCGICOUNT and TIOCMBIS/TIOCMBIC on the port's descriptor; tests install a factory that
// hands out a fake instead. Calls come from the port's I/O thread and from API callers, always
// under that port's lock, so one instance is never used by two threads at once.
#pragma once

#include "platform/win32types.h"

#include <cstdint>
#include <functional>
#include <memory>

struct LineCounters
{
    std::uint32_t frame = 0;
    std::uint32_t overrun = 0;
    std::uint32_t parity = 0;
    std::uint32_t brk = 0;
    std::uint32_t bufferOverrun = 0;
};

class LineStatus
{
public:
    virtual ~LineStatus() = default;
    // Each returns 0, ENOTTY when the device has no such lines or counters (the port then
    // treats it as an idle line: no signals, no errors), or another errno value.
    virtual int modemLines(DWORD &msBits) = 0; // MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON
    virtual int errorCounters(LineCounters &counters) = 0;
    virtual int setDtr(bool on) = 0;
    virtual int setRts(bool on) = 0;
};

using LineStatusFactory = std::function<std::unique_ptr<LineStatus>(int fd)>;

// The source a port opened from now on uses for its descriptor.
std::unique_ptr<LineStatus> makeLineStatus(int fd);
// Replaces the source for ports opened afterwards; an empty factory restores the real one.
void setLineStatusFactory(LineStatusFactory factory);
