// <asm/termbits.h> and <termios.h> define the same names differently: the kernel's termios2
// calls live alone in this file.
#include "platform/posix/LineSettings.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>

namespace {

struct SpeedCode
{
    unsigned code;
    std::uint32_t speed;
};

// Rates with a speed code of their own; tcgetattr reports these as the usual Bnnn values.
constexpr SpeedCode kSpeedCodes[] = {
    {B0, 0},
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
    {B3500000, 3500000},
    {B4000000, 4000000},
};

unsigned codeOfSpeed(std::uint32_t speed)
{
    for (const SpeedCode &entry : kSpeedCodes) {
        if (entry.speed == speed)
            return entry.code;
    }
    return BOTHER;
}

std::uint32_t speedOfCode(unsigned code, std::uint32_t otherSpeed)
{
    if (code == BOTHER)
        return otherSpeed;
    for (const SpeedCode &entry : kSpeedCodes) {
        if (entry.code == code)
            return entry.speed;
    }
    return 0;
}

constexpr unsigned kSpeedBits = CBAUD | CIBAUD;

} // namespace

int readLineSettings(int fd, LineSettings &settings)
{
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    settings.iflag = t.c_iflag;
    settings.oflag = t.c_oflag;
    settings.cflag = t.c_cflag & ~kSpeedBits;
    settings.lflag = t.c_lflag;
    settings.line = t.c_line;
    static_assert(sizeof(t.c_cc) == sizeof(settings.cc));
    std::memcpy(settings.cc, t.c_cc, sizeof(settings.cc));
    settings.speed = speedOfCode(t.c_cflag & CBAUD, t.c_ospeed);
    return 0;
}

int applyLineSettings(int fd, const LineSettings &settings)
{
    termios2 t{};
    t.c_iflag = settings.iflag;
    t.c_oflag = settings.oflag;
    t.c_lflag = settings.lflag;
    t.c_line = settings.line;
    std::memcpy(t.c_cc, settings.cc, sizeof(t.c_cc));
    // A standard rate keeps its own code (input speed "same as output"); any other rate
    // goes through BOTHER in both directions.
    const unsigned code = codeOfSpeed(settings.speed);
    t.c_cflag = (settings.cflag & ~kSpeedBits) | code;
    if (code == BOTHER)
        t.c_cflag |= BOTHER << IBSHIFT;
    t.c_ispeed = settings.speed;
    t.c_ospeed = settings.speed;
    if (ioctl(fd, TCSETS2, &t) != 0)
        return errno;
    return 0;
}
