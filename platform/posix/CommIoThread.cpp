// A comm port's I/O thread: the poll() loop over the device and the doorbell, the receive
// path into the input queue, the transmit path, and the line-status sampling behind the
// modem and error events. Apart from poll() itself everything runs with the port's lock held.
#include "platform/posix/CommPort.h"

#include "platform/posix/DcbTermios.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/TtyDevice.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// How often modem lines are polled where the device cannot wait for their changes.
constexpr std::int64_t kTickNanos = 10 * 1000000;
// How often error counters are looked at between reads (errors come with bytes, so this only
// catches what arrived without any), and modem changes a wait may have missed. Counters cost
// no transfer on USB adapters; modem lines are asked for only when the counters show a change.
constexpr std::int64_t kSlowTickNanos = 200 * 1000000;
// Reads per wake-up before the loop looks at its other work again.
constexpr int kReadsPerWake = 32;
constexpr DWORD kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
constexpr DWORD kLineErrors = CE_FRAME | CE_OVERRUN | CE_RXPARITY;

std::atomic<std::uint64_t> g_ioWakeUps{0};

} // namespace

std::uint64_t CommPort::ioWakeUps()
{
    return g_ioWakeUps.load();
}

void CommPort::ioLoop()
{
    pthread_setname_np(pthread_self(), "comm-io"); // as top -H and debuggers show it
    std::unique_lock lock(m_mutex);
    while (!m_closing) {
        Nanos at = now();
        expireRequests(at);
        const Nanos tick = modemPolled() ? kTickNanos : kSlowTickNanos;
        if (!needsTick()) {
            m_line.nextTick = kNever;
        } else if (m_line.nextTick == kNever) {
            m_line.nextTick = at + tick;
        } else if (at >= m_line.nextTick) {
            sampleLineStatus(true);
            m_line.nextTick = at + tick;
        }
        if (!m_dead && m_drain.lookDue(at)) {
            if (m_writes.empty())
                checkTransmitEmpty();
            else
                transmit();
        }

        pollfd fds[2] = {};
        // A dead device is left out entirely: it would report POLLHUP forever.
        fds[0].fd = m_dead ? -1 : m_fd;
        Nanos deadline = nextDeadline();
        if (!m_dead && m_input.room() > 0) {
            if (at >= m_gatherUntil || !m_reads.empty() || m_device->inputHeld())
                fds[0].events |= POLLIN;
            else
                deadline = std::min(deadline, m_gatherUntil);
        }
        // A write whose bytes are all in the kernel waits for them to leave, not for room.
        if (!m_dead && !m_writes.empty() && !outputHeld() &&
            m_writes.front().sent < m_writes.front().data.size())
            fds[0].events |= POLLOUT;
        fds[1].fd = m_doorbell;
        fds[1].events = POLLIN;
        // Input a device holds beyond its descriptor is ready now.
        const bool held = (fds[0].events & POLLIN) && m_device->inputHeld();
        if (held)
            deadline = at;
        lock.unlock();

        timespec timeout{};
        timespec *timeoutPointer = nullptr;
        if (deadline != kNever) {
            const Nanos wait = std::max<Nanos>(0, deadline - now());
            timeout.tv_sec = time_t(wait / 1000000000);
            timeout.tv_nsec = long(wait % 1000000000);
            timeoutPointer = &timeout;
        }
        const int ready = ppoll(fds, 2, timeoutPointer, nullptr);
        g_ioWakeUps.fetch_add(1, std::memory_order_relaxed);
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            std::uint64_t rings = 0;
            [[maybe_unused]] ssize_t ignored = ::read(m_doorbell, &rings, sizeof rings);
        }

        lock.lock();
        if (m_closing || (ready <= 0 && !held) || m_dead)
            continue;
        at = now();
        const short revents = short(fds[0].revents | (held ? POLLIN : 0));
        if (revents & (POLLIN | POLLHUP | POLLERR))
            receive((revents & (POLLHUP | POLLERR)) != 0, at);
        if (!m_dead && (revents & POLLOUT))
            transmit();
    }
}

void CommPort::receive(bool hangUp, Nanos at)
{
    std::size_t taken = 0;
    for (int i = 0; i < kReadsPerWake; ++i) {
        // After a hang-up the rest is read regardless of the queue's capacity: it is bounded
        // by the kernel's buffer and would be lost otherwise.
        std::size_t room = m_input.room();
        if (m_input.empty() && !m_reads.empty())
            room += m_reads.front().wanted - m_reads.front().done;
        const std::size_t want = hangUp ? m_scratch.size() : std::min(room, m_scratch.size());
        if (want == 0)
            break;
        const ssize_t got = m_device->read(m_scratch.data(), want);
        if (got > 0) {
            // The driver counts a line error before it hands over the byte it came with, so
            // counters read now give the errors of these bytes, reported in one batch.
            const DWORD lineEvents =
                (m_line.countersKnown ? sampleCounters() : 0) | m_line.heldEvents;
            m_line.heldEvents = 0;
            acceptInput(m_scratch.data(), std::size_t(got), at, lineEvents);
            taken += std::size_t(got);
            // A short read need not have emptied the device: a pseudo-terminal hands over
            // one 4 KiB line-discipline buffer per read, and the next read brings the next
            // one without another round through poll(). A read that found less than half of
            // that has emptied it.
            if (std::size_t(got) < std::min(want, TtyDevice::HalfLineBuffer))
                break;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN)
            break;
        // With VMIN=1 a read of 0 cannot mean "no data": the device hung up.
        markDead();
        return;
    }
    if (hangUp)
        markDead();
    // A trickle is left in the device for a while (see InputPace), never while a ReadFile
    // waits (see ioLoop), so that its time-outs stay exact.
    m_gatherUntil = m_pace.afterWakeUp(taken, at, m_input.room() == 0, m_lastWriteAt);
}

void CommPort::acceptInput(std::uint8_t *data, std::size_t count, Nanos at, DWORD lineEvents)
{
    DWORD events = lineEvents;
    count = filterInput(data, count, events);
    const std::uint8_t *rest = data;
    feedReads(rest, count, at);
    events |= appendInput(rest, count);
    serviceReads(at);
    recordEvents(events);
}

std::size_t CommPort::filterInput(std::uint8_t *data, std::size_t count, DWORD &events)
{
    // Windows drops input while DSR is low when asked to; a device without modem lines
    // cannot say, so its input is kept.
    if (m_dcb.fDsrSensitivity && m_line.modemKnown && !(m_line.modem & MS_DSR_ON))
        return 0;
    const auto eventChar = static_cast<std::uint8_t>(m_dcb.EvtChar);
    // A batch without the mark byte, with no mark begun before it, holds no mark.
    const bool marks =
        marksErrors(m_settings) && !(m_marks.idle() && !std::memchr(data, 0xFF, count));
    if (!marks && !m_dcb.fNull) {
        if (count > 0)
            events |= EV_RXCHAR;
        if ((m_mask & EV_RXFLAG) && std::memchr(data, eventChar, count))
            events |= EV_RXFLAG;
        return count;
    }

    // Filtering in place: the output never runs ahead of the input.
    std::size_t kept = 0;
    DWORD errors = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t byte = data[i];
        bool damaged = false;
        if (marks) {
            const MarkParser::Byte kind = m_marks.feed(byte);
            if (kind == MarkParser::Byte::Held)
                continue;
            if (kind == MarkParser::Byte::Break) {
                errors |= CE_BREAK;
                continue;
            }
            // The mark does not say whether parity or framing failed; checking parity is what
            // turned marking on.
            if (kind == MarkParser::Byte::Damaged) {
                errors |= CE_RXPARITY;
                damaged = true;
            }
        }
        if (damaged && m_dcb.fErrorChar)
            byte = static_cast<std::uint8_t>(m_dcb.ErrorChar);
        if (byte == 0 && m_dcb.fNull)
            continue;
        if (byte == eventChar)
            events |= EV_RXFLAG;
        data[kept++] = byte;
    }
    if (kept > 0)
        events |= EV_RXCHAR;
    // Where the device keeps error counters, those are the one source of error reports.
    if (errors && !m_line.countersKnown) {
        noteErrors(errors);
        if (errors & CE_BREAK)
            events |= EV_BREAK;
        if (errors & kLineErrors)
            events |= EV_ERR;
    }
    return kept;
}

DWORD CommPort::appendInput(const std::uint8_t *data, std::size_t count)
{
    if (count == 0)
        return 0;
    const std::size_t threshold = std::max<std::size_t>(1, m_input.capacity() * 4 / 5);
    const std::size_t before = m_input.size();
    m_input.push(data, count);
    applyDtrHandshake();
    return (before < threshold && m_input.size() >= threshold) ? EV_RX80FULL : 0;
}

void CommPort::transmit()
{
    while (!m_writes.empty()) {
        WriteRequest &write = m_writes.front();
        if (write.sent < write.data.size()) {
            // Held output stops new bytes; bytes already in the kernel still drain.
            if (outputHeld())
                return;
            if (m_dcb.fRtsControl == RTS_CONTROL_TOGGLE && !m_line.rtsOn) {
                m_lineStatus->setRts(true);
                m_line.rtsOn = true;
            }
            const ssize_t sent =
                m_device->write(write.data.data() + write.sent, write.data.size() - write.sent);
            if (sent < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN)
                    break;
                // A vanished device: EIO from a hung-up tty, ENODEV from cdc_acm once
                // disconnected, whichever comes first.
                if (errno == EIO || errno == ENODEV || errno == ENXIO) {
                    markDead();
                    return;
                }
                complete(write, win32ErrorFromErrno(errno), DWORD(write.sent));
                m_writes.pop_front();
                continue;
            }
            write.sent += std::size_t(sent);
            if (sent > 0)
                m_drain.noteSent(std::uint64_t(sent));
            if (write.sent < write.data.size())
                break; // the kernel is full; poll() says when it has room again
        }
        // Done once the bytes have left the kernel's queue, not when the kernel took them:
        // until then the write's time-out still runs, and closing would drop them.
        if (outputDraining())
            return;
        complete(write, ERROR_SUCCESS, DWORD(write.sent));
        m_writes.pop_front();
    }
    checkTransmitEmpty();
}

bool CommPort::outputDraining()
{
    unsigned queued = 0;
    if (m_device->outputQueue(queued) != 0) {
        // Gone: the queue is empty because the driver dropped it. What waited for it fails.
        markDead();
        return true;
    }
    return m_drain.stillDraining(queued, m_settings.speed, now());
}

void CommPort::checkTransmitEmpty()
{
    if (!m_writes.empty() || !m_drain.sentSinceEmpty())
        return;
    if (outputDraining())
        return;
    m_drain.emptied();
    if (m_dcb.fRtsControl == RTS_CONTROL_TOGGLE && m_line.rtsOn) {
        m_lineStatus->setRts(false);
        m_line.rtsOn = false;
    }
    recordEvents(EV_TXEMPTY);
}

void CommPort::sampleLineStatus(bool tick)
{
    const std::uint32_t modemChanges = m_line.counters.modemChanges;
    DWORD events = m_line.heldEvents;
    m_line.heldEvents = 0;
    const DWORD lineEvents = m_line.countersKnown ? sampleCounters() : 0;
    // The driver counts an error a moment before the bytes it came with reach the line
    // discipline; errors a tick finds wait one more tick for those bytes, so that they are
    // reported together (see receive()).
    if (tick)
        m_line.heldEvents = lineEvents;
    else
        events |= lineEvents;
    // Where a watcher waits for modem changes, the lines are asked for (a transfer on USB)
    // only when the driver's counters show a change that the watcher may have missed.
    if (!m_watcher.waiting() || !m_line.countersKnown ||
        m_line.counters.modemChanges != modemChanges)
        events |= sampleModemLines();
    recordEvents(events);
}

DWORD CommPort::sampleModemLines()
{
    DWORD events = 0;
    if (m_line.modemKnown) {
        DWORD lines = 0;
        const int status = m_lineStatus->modemLines(lines);
        if (status == ENOTTY) {
            m_line.modemKnown = false;
            m_line.modem = 0;
        } else if (status == 0) {
            const DWORD changed = lines ^ m_line.modem;
            if (changed & MS_CTS_ON)
                events |= EV_CTS;
            if (changed & MS_DSR_ON)
                events |= EV_DSR;
            if (changed & MS_RLSD_ON)
                events |= EV_RLSD;
            if ((lines & MS_RING_ON) && !(m_line.modem & MS_RING_ON))
                events |= EV_RING;
            m_line.modem = lines;
        }
    }
    return events;
}

DWORD CommPort::sampleCounters()
{
    DWORD events = 0;
    if (m_line.countersKnown) {
        LineCounters counters;
        const int status = m_lineStatus->errorCounters(counters);
        if (status == ENOTTY) {
            m_line.countersKnown = false;
        } else if (status == 0) {
            DWORD errors = 0;
            if (counters.frame != m_line.counters.frame)
                errors |= CE_FRAME;
            if (counters.overrun != m_line.counters.overrun)
                errors |= CE_OVERRUN;
            if (counters.parity != m_line.counters.parity)
                errors |= CE_RXPARITY;
            if (counters.brk != m_line.counters.brk)
                errors |= CE_BREAK;
            if (counters.bufferOverrun != m_line.counters.bufferOverrun)
                errors |= CE_RXOVER;
            m_line.counters = counters;
            noteErrors(errors);
            events = ((errors & kLineErrors) ? EV_ERR : 0) | ((errors & CE_BREAK) ? EV_BREAK : 0);
        }
    }
    return events;
}

bool CommPort::modemPolled() const
{
    return m_line.modemKnown && !m_watcher.waiting() &&
           ((m_mask & kModemEvents) || m_dcb.fOutxDsrFlow || m_dcb.fDsrSensitivity);
}

void CommPort::noteErrors(DWORD errors)
{
    if (errors == 0)
        return;
    m_errors |= errors;
    // Windows' fAbortOnError: every transfer ends, and new ones are refused until the
    // errors have been collected with ClearCommError.
    if (m_dcb.fAbortOnError && !m_aborted) {
        m_aborted = true;
        abortReads(ERROR_OPERATION_ABORTED);
        abortWrites(ERROR_OPERATION_ABORTED);
    }
}

void CommPort::applyOutputLines()
{
    m_line.dtrOn = m_dcb.fDtrControl != DTR_CONTROL_DISABLE;
    m_line.rtsOn =
        m_dcb.fRtsControl == RTS_CONTROL_ENABLE || m_dcb.fRtsControl == RTS_CONTROL_HANDSHAKE ||
        (m_dcb.fRtsControl == RTS_CONTROL_TOGGLE && (!m_writes.empty() || m_drain.draining()));
    // A device without modem lines (a pseudo-terminal) has nothing to switch.
    m_lineStatus->setOutputs(m_line.dtrOn, m_line.rtsOn);
    applyDtrHandshake();
}

void CommPort::applyDtrHandshake()
{
    if (m_dcb.fDtrControl != DTR_CONTROL_HANDSHAKE)
        return;
    // Windows' limits: hold the sender back when fewer than XoffLim bytes are free, let it
    // go again when fewer than XonLim bytes are queued.
    if (m_line.dtrOn && m_input.room() < m_dcb.XoffLim) {
        m_line.dtrOn = false;
        m_lineStatus->setDtr(false);
    } else if (!m_line.dtrOn && m_input.size() < m_dcb.XonLim) {
        m_line.dtrOn = true;
        m_lineStatus->setDtr(true);
    }
}

void CommPort::markDead()
{
    if (m_dead)
        return;
    m_dead = true;
    m_drain.stop();
    abortReads(ERROR_GEN_FAILURE);
    abortWrites(ERROR_GEN_FAILURE);
    endWait(ERROR_GEN_FAILURE, 0);
}

bool CommPort::dsrHolds() const
{
    return m_dcb.fOutxDsrFlow && m_line.modemKnown && !(m_line.modem & MS_DSR_ON);
}

bool CommPort::outputHeld() const
{
    return dsrHolds() || m_line.breakOn || m_line.xoffHeld;
}

bool CommPort::needsTick() const
{
    if (m_dead)
        return false;
    const bool modem = m_line.modemKnown &&
                       ((m_mask & kModemEvents) || m_dcb.fOutxDsrFlow || m_dcb.fDsrSensitivity);
    const bool counters =
        m_line.countersKnown && ((m_mask & (EV_ERR | EV_BREAK)) || m_dcb.fAbortOnError);
    return modem || counters;
}

CommPort::Nanos CommPort::nextDeadline() const
{
    Nanos deadline = m_line.nextTick;
    deadline = std::min(deadline, m_drain.nextLook());
    for (const ReadRequest &read : m_reads)
        deadline = std::min(deadline, read.totalDeadline);
    if (!m_reads.empty() && m_reads.front().done > 0)
        deadline = std::min(deadline, m_reads.front().intervalDeadline);
    for (const WriteRequest &write : m_writes)
        deadline = std::min(deadline, write.deadline);
    return deadline;
}
