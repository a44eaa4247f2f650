// What a comm port's machinery (CommPort: its I/O thread, queues, events and time-outs) needs
// of the thing behind it: a local serial device node, or a port served over the network.
// Every call comes under the port's lock, from the I/O thread or an API caller; only the
// descriptor's poll() runs without it.
#pragma once

#include "platform/posix/LineSettings.h"
#include "platform/posix/LineStatus.h"
#include "platform/win32types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

class CommDevice
{
public:
    virtual ~CommDevice() = default;

    // The descriptor the I/O thread polls for input and for room to write.
    virtual int pollFd() const = 0;
    // As read(2) and write(2) on a non-blocking descriptor: the bytes moved, or -1 with errno
    // (EAGAIN: nothing now; EIO, ENODEV, ENXIO: the device has gone); a read of 0: hung up.
    // Received bytes come in the line discipline's form for the settings last applied
    // (with PARMRK, a literal 0xFF doubled).
    virtual ssize_t read(std::uint8_t *buffer, std::size_t count) = 0;
    virtual ssize_t write(const std::uint8_t *data, std::size_t count) = 0;
    // Whether input waits here that poll() on pollFd() cannot show.
    virtual bool inputHeld() const { return false; }

    // 0 or an errno value.
    virtual int readSettings(LineSettings &settings) = 0;
    virtual int applySettings(const LineSettings &settings) = 0;
    // The clock a UART divides to make its rate, or 0 when there is none to tell.
    virtual std::uint32_t uartBaudBase() { return 0; }
    virtual std::unique_ptr<LineStatus> lineStatus() = 0;

    // Bytes of output not yet gone, with the errno of a failed question (EIO: gone).
    virtual int outputQueue(unsigned &count) = 0;
    virtual void flushInput() = 0;
    virtual void flushOutput() = 0;
    // Whether FlushFileBuffers waits in the kernel (tcdrain on a duplicate of pollFd()), or
    // by asking outputQueue() until it is empty.
    virtual bool drainsInKernel() const { return false; }

    // Ends the device at once; hangUp leaves modem lines down where there are any.
    virtual void release(const LineSettings &last, bool hangUp) = 0;
};

// A serial device node, held exclusively (see TtyDevice), or empty with the Win32 error.
std::unique_ptr<CommDevice> openTtyDevice(const std::string &path, DWORD &error);
