#include "platform/posix/LineStatus.h"

#include "platform/win32.h"

#include <cerrno>
#include <linux/serial.h>
#include <mutex>
#include <sys/ioctl.h>

// The UART loopback bit of the modem-control word; glibc's headers leave it out.
#ifndef TIOCM_LOOP
#define TIOCM_LOOP 0x8000
#endif

namespace {

// Older kernels answer EINVAL where newer ones say ENOTTY; both mean "no such thing here".
int normalised(int error)
{
    return error == EINVAL ? ENOTTY : error;
}

class DeviceLineStatus : public LineStatus
{
public:
    explicit DeviceLineStatus(int fd) : m_fd(fd) {}

    int modemLines(DWORD &msBits) override
    {
        int bits = 0;
        if (ioctl(m_fd, TIOCMGET, &bits) != 0)
            return normalised(errno);
        msBits = ((bits & TIOCM_CTS) ? MS_CTS_ON : 0) | ((bits & TIOCM_DSR) ? MS_DSR_ON : 0) |
                 ((bits & TIOCM_RI) ? MS_RING_ON : 0) | ((bits & TIOCM_CD) ? MS_RLSD_ON : 0);
        return 0;
    }

    int errorCounters(LineCounters &counters) override
    {
        serial_icounter_struct icount{};
        if (ioctl(m_fd, TIOCGICOUNT, &icount) != 0)
            return normalised(errno);
        counters.frame = std::uint32_t(icount.frame);
        counters.overrun = std::uint32_t(icount.overrun);
        counters.parity = std::uint32_t(icount.parity);
        counters.brk = std::uint32_t(icount.brk);
        counters.bufferOverrun = std::uint32_t(icount.buf_overrun);
        counters.modemChanges = std::uint32_t(icount.cts + icount.dsr + icount.rng + icount.dcd);
        return 0;
    }

    int setDtr(bool on) override { return setLine(TIOCM_DTR, on); }
    int setRts(bool on) override { return setLine(TIOCM_RTS, on); }
    int setLoopback(bool on) override { return setLine(TIOCM_LOOP, on); }
    int setBreak(bool on) override
    {
        if (ioctl(m_fd, on ? TIOCSBRK : TIOCCBRK) != 0)
            return normalised(errno);
        return 0;
    }
    int setOutputs(bool dtr, bool rts) override
    {
        int raise = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
        int lower = (TIOCM_DTR | TIOCM_RTS) & ~raise;
        if (raise != 0 && ioctl(m_fd, TIOCMBIS, &raise) != 0)
            return normalised(errno);
        if (lower != 0 && ioctl(m_fd, TIOCMBIC, &lower) != 0)
            return normalised(errno);
        return 0;
    }

    bool waitsForModemChanges() const override { return true; }

    int waitModemChange() override
    {
        if (ioctl(m_fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG) != 0)
            return normalised(errno);
        return 0;
    }

private:
    int setLine(int line, bool on)
    {
        if (ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &line) != 0)
            return normalised(errno);
        return 0;
    }

    int m_fd;
};

std::mutex g_factoryMutex;
LineStatusFactory g_factory;

} // namespace

std::unique_ptr<LineStatus> makeLineStatus(int fd)
{
    std::lock_guard lock(g_factoryMutex);
    if (g_factory)
        return g_factory(fd);
    return std::make_unique<DeviceLineStatus>(fd);
}

void setLineStatusFactory(LineStatusFactory factory)
{
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}
