#include "platform/posix/CommPort.h"

#include "platform/posix/DcbTermios.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/RemoteDevice.h"
#include "platform/posix/TtyDevice.h"
#include "platform/posix/UucpLock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace {

// SetupComm's sizes are a recommendation that drivers may exceed, and real ones keep at least
// their own default. A queue this large lets a receive handler take a burst in one event
// instead of one event per kilobyte, and keeps this thread reading the device while the
// handler is busy with the last batch (a flood through a pseudo-terminal stalls whenever
// it stops: the kernel holds little).
constexpr DWORD kInputQueueFloor = 512 * 1024;
constexpr DWORD kMaxInputQueue = 16u * 1024u * 1024u;
constexpr DWORD kKnownEvents = 0x1FFF;
constexpr DWORD kPurgeFlags = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr std::size_t kReadChunk = 64 * 1024;

// Errors of a device that vanished read as "general failure", as on Windows.
DWORD deviceError(int error)
{
    return error == EIO ? ERROR_GEN_FAILURE : win32ErrorFromErrno(error);
}

} // namespace

CommPort::CommPort(std::unique_ptr<CommDevice> device, int doorbell, DWORD access, bool overlapped)
    : m_overlapped(overlapped), m_access(access), m_doorbell(doorbell), m_device(std::move(device)),
      m_fd(m_device->pollFd()), m_input(kInputQueueFloor), m_scratch(kReadChunk)
{}

std::shared_ptr<CommPort> CommPort::open(const std::string &path, DWORD access, bool overlapped,
                                         DWORD &error)
{
    const std::optional<RemotePortAddress> remote = remotePortAddress(path);
    // An address that cannot be right is a bad name, not a file to look for.
    if (!remote && isRemotePortText(path)) {
        error = ERROR_INVALID_NAME;
        return nullptr;
    }
    std::unique_ptr<CommDevice> device =
        remote ? openRemoteDevice(*remote, error) : openTtyDevice(path, error);
    if (!device)
        return nullptr;
    const int doorbell = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (doorbell < 0) {
        error = win32ErrorFromErrno(errno);
        return nullptr;
    }
    // From here on the port's destructor releases the device, the doorbell and the lock file
    // on every failure path.
    std::shared_ptr<CommPort> port(new CommPort(std::move(device), doorbell, access, overlapped));
    // Programs that keep out of a device only by its UUCP lock file are kept out by ours.
    error = remote ? ERROR_SUCCESS : UucpLock::acquire(path, port->m_lockFile);
    if (error != ERROR_SUCCESS)
        return nullptr;

    CommDevice &opened = *port->m_device;
    LineSettings current;
    int status = opened.readSettings(current);
    if (status == 0) {
        port->m_dcb = dcbFromLineSettings(current);
        port->m_lineErrors = remote || !TtyDevice::isPseudoTerminal(port->m_fd);
        port->m_settings = lineSettingsFromDcb(port->m_dcb, current, port->m_lineErrors);
        // The speed stays as found until SetCommState: leaving speed 0 makes the driver
        // raise DTR and RTS, which SetCommState can prevent once it knows the DCB's wish.
        port->m_settings.speed = current.speed;
        status = opened.applySettings(port->m_settings);
    }
    if (status != 0) {
        error = deviceError(status);
        return nullptr;
    }
    // Whatever arrived before anyone had the port open belongs to nobody.
    opened.flushInput();

    port->m_lineStatus = opened.lineStatus();
    if (port->m_lineStatus->modemLines(port->m_line.modem) != 0) {
        port->m_line.modemKnown = false;
        port->m_line.modem = 0;
    }
    if (port->m_lineStatus->errorCounters(port->m_line.counters) != 0)
        port->m_line.countersKnown = false;
    port->startModemWatcher();

    try {
        port->m_thread = std::thread(&CommPort::ioLoop, port.get());
    } catch (const std::system_error &) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return port;
}

CommPort::~CommPort()
{
    onClose();
}

void CommPort::onClose()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_fd < 0)
            return;
        if (!m_closing) {
            m_closing = true;
            abortReads(ERROR_OPERATION_ABORTED);
            abortWrites(ERROR_OPERATION_ABORTED);
            endWait(ERROR_OPERATION_ABORTED, 0);
            ringDoorbell();
        }
    }
    // The thread only ever blocks in poll(), which the doorbell ends; a descriptor closed
    // under a poll() would not wake it.
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
    m_watcher.stop();
    bool hangUp = false;
    LineSettings last;
    {
        std::lock_guard lock(m_mutex);
        m_fd = -1;
        hangUp = m_lineStatus && m_line.modemKnown && !m_dead; // only a port that got opened
        last = m_settings;
    }
    m_device->release(last, hangUp);
    ::close(m_doorbell);
    UucpLock::release(m_lockFile);
}

void CommPort::startModemWatcher()
{
    if (m_line.modemKnown)
        m_watcher.start(
            *m_lineStatus, m_mutex, [this](int status) { return onModemWake(status); },
            [this] { ringDoorbell(); }); // the I/O thread polls from now on
}

ModemWatcher::Wake CommPort::onModemWake(int status)
{
    if (m_closing || m_dead)
        return ModemWatcher::Wake::Stop;
    const DWORD before = m_line.modem;
    if (status == 0)
        recordEvents(sampleModemLines());
    return m_line.modem == before ? ModemWatcher::Wake::Unchanged : ModemWatcher::Wake::Changed;
}

CommPort::Nanos CommPort::now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void CommPort::ringDoorbell()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t ignored = ::write(m_doorbell, &one, sizeof one);
}

DWORD CommPort::usable() const
{
    return m_closing ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

std::size_t CommPort::inputQueueCapacity(DWORD requested)
{
    return std::max(requested, kInputQueueFloor);
}

DWORD CommPort::setupComm(DWORD inQueue)
{
    if (inQueue > kMaxInputQueue)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    // 0 keeps the present size; the output size has no use: writes are copied per request.
    if (inQueue != 0) {
        m_input.setCapacity(inputQueueCapacity(inQueue));
        applyDtrHandshake();
        ringDoorbell();
    }
    return ERROR_SUCCESS;
}

DWORD CommPort::setState(const DCB &dcb)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    if (DWORD error = checkDcb(dcb))
        return error;
    if (m_dead)
        return ERROR_GEN_FAILURE;
    const LineSettings next = lineSettingsFromDcb(dcb, m_settings, m_lineErrors);
    // Drivers take speeds they cannot make without a word: a UART runs at the nearest
    // divisor of its clock, and a driver may keep its previous speed or fall back to another
    // one. Such a speed is refused, as Windows refuses what a device cannot do.
    if (const std::uint32_t base = m_device->uartBaudBase();
        base != 0 && !speedCloseEnough(next.speed, uartRate(next.speed, base)))
        return ERROR_INVALID_PARAMETER;
    // Leaving speed 0 (how a port is left at Close) makes the driver raise DTR and RTS; a
    // UART's loopback keeps the pins off until the DCB's own wish is applied below. This is
    // the first SetCommState after Open, when nothing is on its way yet: for that moment the
    // UART hears only itself.
    const LoopbackGuard loopback(*m_lineStatus, m_settings.speed == 0);
    const int status = m_device->applySettings(next);
    LineSettings applied;
    DWORD refusal = status != 0 ? deviceError(status) : ERROR_SUCCESS;
    if (status == 0 && m_device->readSettings(applied) == 0 &&
        !speedCloseEnough(next.speed, applied.speed)) {
        m_device->applySettings(m_settings);
        refusal = ERROR_INVALID_PARAMETER;
    }
    if (refusal != ERROR_SUCCESS)
        return refusal;
    if (marksErrors(next) != marksErrors(m_settings))
        m_marks.reset();
    m_settings = next;
    m_dcb = dcb;
    m_dcb.DCBlength = sizeof(DCB);
    applyOutputLines();
    ringDoorbell();
    return ERROR_SUCCESS;
}

DWORD CommPort::getState(DCB &dcb)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    dcb = m_dcb;
    return ERROR_SUCCESS;
}

DWORD CommPort::setTimeouts(const COMMTIMEOUTS &timeouts)
{
    if (timeouts.ReadIntervalTimeout == MAXDWORD &&
        timeouts.ReadTotalTimeoutMultiplier == MAXDWORD &&
        timeouts.ReadTotalTimeoutConstant == MAXDWORD)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    m_timeouts = timeouts;
    return ERROR_SUCCESS;
}

DWORD CommPort::getTimeouts(COMMTIMEOUTS &timeouts)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    timeouts = m_timeouts;
    return ERROR_SUCCESS;
}

DWORD CommPort::setMask(DWORD mask)
{
    if (mask & ~kKnownEvents)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    endWait(ERROR_SUCCESS, 0);
    // Line changes that happened under the old mask are settled under it, so that the new
    // mask starts from the present state instead of reporting stale differences.
    if (!m_dead)
        sampleLineStatus(false);
    m_mask = mask;
    m_remembered &= mask;
    ringDoorbell();
    return ERROR_SUCCESS;
}

DWORD CommPort::getMask(DWORD &mask)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    mask = m_mask;
    return ERROR_SUCCESS;
}

DWORD CommPort::clearError(DWORD &errors, COMSTAT &stat)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    if (!m_dead)
        sampleLineStatus(false);
    errors = m_errors;
    m_errors = 0;
    m_aborted = false;

    stat = COMSTAT{};
    // Only the user-space queue counts: that is exactly what ReadFile can hand out now, so
    // an EV_RXCHAR handler that reads cbInQue bytes gets them all.
    stat.cbInQue = DWORD(m_input.size());
    std::size_t unsent = 0;
    for (const WriteRequest &write : m_writes)
        unsent += write.data.size() - write.sent;
    // Nothing of ours is in the kernel once it was seen empty after the last write: the
    // receive handler asks for every batch, and the question costs a system call.
    if (!m_dead && m_drain.sentSinceEmpty())
        unsent += std::size_t(m_drain.ours(deviceQueue()));
    stat.cbOutQue = DWORD(unsent);
    stat.fCtsHold = m_dcb.fOutxCtsFlow && m_line.modemKnown && !(m_line.modem & MS_CTS_ON);
    stat.fDsrHold = dsrHolds();
    stat.fXoffHold = m_line.xoffHeld;
    return ERROR_SUCCESS;
}

DWORD CommPort::purge(DWORD flags)
{
    if (flags == 0 || (flags & ~kPurgeFlags))
        return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    // Aborting ends requests and keeps data; only the clear flags drop data. A dead device
    // can still be purged, so that closing it never fails.
    if (flags & PURGE_TXABORT)
        abortWrites(ERROR_OPERATION_ABORTED);
    if (flags & PURGE_RXABORT)
        abortReads(ERROR_OPERATION_ABORTED);
    if ((flags & PURGE_TXCLEAR) && !m_dead)
        m_device->flushOutput();
    if (flags & PURGE_RXCLEAR) {
        m_input.clear();
        m_marks.reset();
        if (!m_dead)
            m_device->flushInput();
        applyDtrHandshake();
    }
    ringDoorbell();
    return ERROR_SUCCESS;
}

DWORD CommPort::flush()
{
    Nanos deadline = 0;
    {
        std::lock_guard lock(m_mutex);
        if (DWORD error = usable())
            return error;
        if (m_dead)
            return ERROR_GEN_FAILURE;
        if (!(m_access & GENERIC_WRITE))
            return ERROR_ACCESS_DENIED;
        std::uint64_t queued = deviceQueue();
        for (const WriteRequest &write : m_writes)
            queued += write.data.size() - write.sent;
        const std::uint64_t speed = m_settings.speed != 0 ? m_settings.speed : 9600;
        deadline = now() + 1000000000LL + Nanos(queued * 10u * 1000000000u / speed);
    }
    // The port's own writes first: the I/O thread completes them once the kernel's queue has
    // taken them and was seen empty. Completion wakes no one here; look every 2 ms.
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_closing)
                return ERROR_OPERATION_ABORTED;
            if (m_dead)
                return ERROR_GEN_FAILURE;
            // A device that drains outside the kernel is done once its queue is empty.
            if (m_writes.empty() && (m_device->drainsInKernel() || deviceQueue() == 0))
                break;
        }
        if (now() >= deadline)
            return ERROR_SEM_TIMEOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!m_device->drainsInKernel())
        return ERROR_SUCCESS;
    // A descriptor of its own, so that a CloseHandle meanwhile cannot pull it away; if that
    // close comes, the last reference is ours and is released as closing does (bounded).
    int fd = -1;
    {
        std::lock_guard lock(m_mutex);
        if (m_closing)
            return ERROR_OPERATION_ABORTED;
        fd = fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            return win32ErrorFromErrno(errno);
    }
    const int error = TtyDevice::drain(fd, long(std::max<Nanos>(deadline - now(), 0) / 1000000));
    // The drain ends successfully on a device that vanished meanwhile: a driver whose
    // transmitter question fails takes that as empty, and in the moments before the hang-up
    // the transfers it drops count as sent. Only a device that still answers has sent them.
    const bool gone = error == 0 && TtyDevice::answers(fd) != 0;
    bool closing = false;
    {
        std::lock_guard lock(m_mutex);
        closing = m_closing;
    }
    if (closing)
        TtyDevice::release(fd, 1000);
    else
        ::close(fd);
    if (error == 0 && !gone)
        return ERROR_SUCCESS;
    if (error == ETIMEDOUT)
        return ERROR_SEM_TIMEOUT;
    std::lock_guard lock(m_mutex);
    if (gone || error == EIO || error == ENODEV || error == ENXIO) {
        markDead();
        return ERROR_GEN_FAILURE;
    }
    return win32ErrorFromErrno(error);
}

DWORD CommPort::modemStatus(DWORD &msBits)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    if (m_dead)
        return ERROR_GEN_FAILURE;
    msBits = 0;
    if (!m_line.modemKnown)
        return ERROR_SUCCESS;
    DWORD bits = 0;
    const int status = m_lineStatus->modemLines(bits);
    if (status == ENOTTY) {
        m_line.modemKnown = false;
        return ERROR_SUCCESS;
    }
    if (status != 0)
        return deviceError(status);
    msBits = bits;
    return ERROR_SUCCESS;
}

unsigned CommPort::deviceQueue()
{
    unsigned count = 0;
    m_device->outputQueue(count);
    return count;
}
