// The local serial device behind a comm port: TtyDevice's controls and the termios2 settings
// on one descriptor.
#include "platform/posix/CommDevice.h"

#include "platform/posix/TtyDevice.h"

#include <unistd.h>

namespace {

class TtyCommDevice : public CommDevice
{
public:
    explicit TtyCommDevice(int fd) : m_fd(fd) {}
    ~TtyCommDevice() override { TtyDevice::release(m_fd); }

    int pollFd() const override { return m_fd; }
    ssize_t read(std::uint8_t *buffer, std::size_t count) override
    {
        return ::read(m_fd, buffer, count);
    }
    ssize_t write(const std::uint8_t *data, std::size_t count) override
    {
        return ::write(m_fd, data, count);
    }
    int readSettings(LineSettings &settings) override { return readLineSettings(m_fd, settings); }
    int applySettings(const LineSettings &settings) override
    {
        return applyLineSettings(m_fd, settings);
    }
    std::uint32_t uartBaudBase() override { return TtyDevice::uartBaudBase(m_fd); }
    std::unique_ptr<LineStatus> lineStatus() override { return makeLineStatus(m_fd); }
    int outputQueue(unsigned &count) override { return TtyDevice::outputQueue(m_fd, count); }
    void flushInput() override { TtyDevice::flushInput(m_fd); }
    void flushOutput() override { TtyDevice::flushOutput(m_fd); }
    bool drainsInKernel() const override { return true; }
    void release(const LineSettings &last, bool hangUp) override
    {
        // A device with modem lines is left at speed 0, which the kernel keeps for the next
        // opener: then opening raises neither DTR nor RTS.
        if (hangUp && last.speed != 0)
            TtyDevice::leaveHungUp(m_fd, last);
        // A driver may wait in close() for output that a far end never takes (30 s by
        // default). Every write that completed has left the kernel's queue, so what is still
        // there belongs to writes that closing aborted: it gets a second at most.
        TtyDevice::release(m_fd, 1000);
        m_fd = -1;
    }

private:
    int m_fd;
};

} // namespace

std::unique_ptr<CommDevice> openTtyDevice(const std::string &path, DWORD &error)
{
    const int fd = TtyDevice::openExclusive(path, error);
    if (fd < 0)
        return nullptr;
    return std::make_unique<TtyCommDevice>(fd);
}
