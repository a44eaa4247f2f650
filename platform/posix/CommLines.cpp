// EscapeCommFunction on a comm port: the DTR and RTS outputs, the break, and the XOFF hold of
// the transmitter. The port remembers what it set, so that the transmit path and ClearCommError
// see the same state as the device.
#include "platform/posix/CommPort.h"

#include "platform/posix/ErrnoMap.h"

#include <cerrno>

namespace {

// Whether a function code is one Windows knows and the DCB allows now: DTR is the driver's
// under DTR handshake, RTS under RTS handshake or toggle.
bool allowed(DWORD function, const DCB &dcb)
{
    switch (function) {
    case SETDTR:
    case CLRDTR:
        return dcb.fDtrControl != DTR_CONTROL_HANDSHAKE;
    case SETRTS:
    case CLRRTS:
        return dcb.fRtsControl != RTS_CONTROL_HANDSHAKE && dcb.fRtsControl != RTS_CONTROL_TOGGLE;
    case SETBREAK:
    case CLRBREAK:
    case SETXOFF:
    case SETXON:
        return true;
    default:
        return false;
    }
}

} // namespace

DWORD CommPort::escape(DWORD function)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    if (!allowed(function, m_dcb))
        return ERROR_INVALID_PARAMETER;
    if (m_dead)
        return ERROR_GEN_FAILURE;

    const bool on = function == SETDTR || function == SETRTS || function == SETBREAK;
    int status = 0;
    switch (function) {
    case SETDTR:
    case CLRDTR:
        status = m_lineStatus->setDtr(on);
        break;
    case SETRTS:
    case CLRRTS:
        status = m_lineStatus->setRts(on);
        break;
    case SETBREAK:
    case CLRBREAK:
        status = m_lineStatus->setBreak(on);
        break;
    default:
        break;
    }
    // A device without such a line (a pseudo-terminal) takes the call as GetCommModemStatus
    // answers there: successfully, with nothing to show.
    if (status != 0 && status != ENOTTY)
        return status == EIO ? ERROR_GEN_FAILURE : win32ErrorFromErrno(status);

    switch (function) {
    case SETDTR:
    case CLRDTR:
        m_line.dtrOn = on;
        break;
    case SETRTS:
    case CLRRTS:
        m_line.rtsOn = on;
        break;
    case SETBREAK:
    case CLRBREAK:
        // Output waits while the line is spacing, as a Windows driver holds it; bytes the
        // kernel already had go out under the break and are lost to the far end.
        m_line.breakOn = on;
        break;
    default:
        m_line.xoffHeld = function == SETXOFF;
        break;
    }
    ringDoorbell(); // output may go again
    return ERROR_SUCCESS;
}
