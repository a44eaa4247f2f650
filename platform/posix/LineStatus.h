// The seam under a comm port's I/O thread for what a pseudo-terminal cannot show: modem input
// lines, line-error counters, and the DTR/RTS/break outputs. The real source uses TIOCMGET,
// TIOCGICOUNT, TIOCMBIS/TIOCMBIC and TIOCSBRK/TIOCCBRK on the port's descriptor; tests install a
// factory that hands out a fake instead. Calls come from the port's I/O thread and from API
// callers, always under that port's lock, except waitModemChange, which a watcher thread of the
// port makes without it.
#pragma once

#include "platform/win32types.h"

#include <cerrno>
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
    // Changes of the modem input lines the driver has counted (CTS, DSR, RI and CD together).
    std::uint32_t modemChanges = 0;
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
    // Both outputs at once: on a USB adapter each call is a control transfer, and lines that
    // must go down together should not go one after the other.
    virtual int setOutputs(bool dtr, bool rts)
    {
        const int status = setDtr(dtr);
        const int other = setRts(rts);
        return status != 0 ? status : other;
    }
    // Holds the transmit line in the spacing state (on) or lets it go (off). ENOTTY where the
    // device has no break to send.
    virtual int setBreak(bool) { return ENOTTY; }
    // A UART's internal loopback: while it is on, the DTR and RTS pins stay off whatever the
    // driver does to the lines. Devices without one answer ENOTTY (or accept and ignore it).
    virtual int setLoopback(bool) { return ENOTTY; }
    // Blocks until a modem input line changes (0), the wait is interrupted (EINTR), or fails;
    // ENOTTY where the device cannot wait for changes: the port then polls modemLines().
    // Called without the port's lock, from a thread of its own.
    virtual int waitModemChange() { return ENOTTY; }
    // Whether waitModemChange is worth a thread: false keeps the port polling.
    virtual bool waitsForModemChanges() const { return false; }
};

// Holds a UART's loopback on (see setLoopback) from construction to destruction, when wanted
// and the device has one.
class LoopbackGuard
{
public:
    LoopbackGuard(LineStatus &lines, bool wanted)
        : m_lines(lines), m_on(wanted && lines.setLoopback(true) == 0)
    {}
    ~LoopbackGuard()
    {
        if (m_on)
            m_lines.setLoopback(false);
    }
    LoopbackGuard(const LoopbackGuard &) = delete;
    LoopbackGuard &operator=(const LoopbackGuard &) = delete;

private:
    LineStatus &m_lines;
    const bool m_on;
};

using LineStatusFactory = std::function<std::unique_ptr<LineStatus>(int fd)>;

// The source a port opened from now on uses for its descriptor.
std::unique_ptr<LineStatus> makeLineStatus(int fd);
// Replaces the source for ports opened afterwards; an empty factory restores the real one.
void setLineStatusFactory(LineStatusFactory factory);
