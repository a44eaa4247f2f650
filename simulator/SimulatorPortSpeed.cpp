// The slave's speed as the master sees it, through the kernel's termios2, which gives any
// speed in bit/s. A file of its own: <asm/termbits.h> and <termios.h> cannot share a unit.
#include "simulator/SimulatorPort.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

int SimulatorPort::slaveBitsPerSecond() const
{
    termios2 settings{};
    if (m_master < 0 || ::ioctl(m_master, TCGETS2, &settings) != 0)
        return 0;
    return static_cast<int>(settings.c_ospeed);
}
