#include "platform/posix/DcbTermios.h"

#include <algorithm>
#include <termios.h>

namespace {

constexpr std::uint32_t kManagedControl =
    CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CREAD | CLOCAL | HUPCL;

std::uint32_t byteSizeFlag(BYTE byteSize)
{
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

std::uint32_t parityFlags(BYTE parity)
{
    switch (parity) {
    case ODDPARITY:
        return PARENB | PARODD;
    case EVENPARITY:
        return PARENB;
    case MARKPARITY:
        return PARENB | PARODD | CMSPAR;
    case SPACEPARITY:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

} // namespace

DWORD checkDcb(const DCB &dcb)
{
    // A speed with the top bit set is a negative number from a signed caller: no driver
    // takes it, though a pseudo-terminal would store it.
    if (dcb.BaudRate == 0 || dcb.BaudRate > 0x7FFFFFFFu || dcb.ByteSize < 5 || dcb.ByteSize > 8 ||
        dcb.Parity > SPACEPARITY || dcb.StopBits > TWOSTOPBITS)
        return ERROR_INVALID_PARAMETER;
    // A 16550 sends 1.5 stop bits exactly when it is told "2" with 5 data bits, so Windows
    // accepts 1.5 only there and refuses 2 there.
    if (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5)
        return ERROR_INVALID_PARAMETER;
    if (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5)
        return ERROR_INVALID_PARAMETER;
    if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar)
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

LineSettings lineSettingsFromDcb(const DCB &dcb, const LineSettings &current, bool lineErrors)
{
    LineSettings out = current;
    // Marking stays on without parity checking: otherwise the line discipline takes its raw
    // fast path, which hands over the NUL a driver queues to flag an overrun as data. A device
    // without line errors has no such NUL to hand over.
    if (dcb.fParity)
        out.iflag = INPCK | PARMRK;
    else
        out.iflag = lineErrors ? (IGNBRK | PARMRK) : IGNBRK;
    if (dcb.fOutX)
        out.iflag |= IXON;
    if (dcb.fInX)
        out.iflag |= IXOFF;
    out.oflag = 0;
    out.lflag = 0;

    out.cflag = (current.cflag & ~kManagedControl) | CREAD | CLOCAL | HUPCL;
    out.cflag |= byteSizeFlag(dcb.ByteSize) | parityFlags(dcb.Parity);
    if (dcb.StopBits != ONESTOPBIT)
        out.cflag |= CSTOPB;
    // Linux has one switch for both directions of hardware flow control.
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        out.cflag |= CRTSCTS;

    // Time-outs are kept in user space; a read of 0 must mean hang-up, never "no data".
    out.cc[VMIN] = 1;
    out.cc[VTIME] = 0;
    out.cc[VSTART] = static_cast<std::uint8_t>(dcb.XonChar);
    out.cc[VSTOP] = static_cast<std::uint8_t>(dcb.XoffChar);
    out.speed = dcb.BaudRate;
    return out;
}

bool marksErrors(const LineSettings &settings)
{
    return (settings.iflag & PARMRK) != 0;
}

DCB dcbFromLineSettings(const LineSettings &settings)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = settings.speed != 0 ? settings.speed : CBR_9600;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 1024;
    dcb.XoffLim = 1024;
    switch (settings.cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    if (!(settings.cflag & PARENB))
        dcb.Parity = NOPARITY;
    else if (settings.cflag & CMSPAR)
        dcb.Parity = (settings.cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else
        dcb.Parity = (settings.cflag & PARODD) ? ODDPARITY : EVENPARITY;
    if (settings.cflag & CSTOPB)
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    else
        dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

std::uint32_t uartRate(std::uint32_t speed, std::uint32_t baudBase)
{
    if (speed == 0 || baudBase == 0)
        return 0;
    const std::uint64_t divisor =
        std::max<std::uint64_t>(1, (std::uint64_t(baudBase) + speed / 2) / speed);
    return std::uint32_t((std::uint64_t(baudBase) + divisor / 2) / divisor);
}

bool speedCloseEnough(std::uint32_t wanted, std::uint32_t actual)
{
    const std::uint64_t off = wanted > actual ? wanted - actual : actual - wanted;
    return off * 50 <= wanted;
}
