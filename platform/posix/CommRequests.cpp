// Submission and completion of a comm port's reads, writes and event waits. Everything here
// runs with the port's lock held.
#include "platform/posix/CommPort.h"

#include "platform/posix/TtyDevice.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::int64_t kNanosPerMilli = 1000000;
// What an event wait that ends with events reports as transferred: the mask it filled in.
constexpr DWORD kEventMaskSize = sizeof(DWORD);

// at + milliseconds, saturating: COMMTIMEOUTS products reach 2^64 ms.
std::int64_t after(std::int64_t at, std::uint64_t milliseconds)
{
    const std::uint64_t room = std::uint64_t(INT64_MAX - at) / kNanosPerMilli;
    if (milliseconds >= room)
        return INT64_MAX;
    return at + std::int64_t(milliseconds) * kNanosPerMilli;
}

} // namespace

CommPort::Nanos CommPort::intervalDeadline(const ReadRequest &read, Nanos at)
{
    return read.intervalMs == 0 ? kNever : after(at, read.intervalMs);
}

void CommPort::complete(Request &request, DWORD error, DWORD count)
{
    Sync::completeRequest(request.overlapped, request.event.get(), error, count);
}

void CommPort::abortReads(DWORD error)
{
    for (ReadRequest &read : m_reads)
        complete(read, error, read.done);
    m_reads.clear();
}

void CommPort::abortWrites(DWORD error)
{
    for (WriteRequest &write : m_writes)
        complete(write, error, DWORD(write.sent));
    m_writes.clear();
}

void CommPort::endWait(DWORD error, DWORD events)
{
    if (!m_wait)
        return;
    const bool delivered = error == ERROR_SUCCESS;
    Sync::completeRequest(m_wait->overlapped, m_wait->event.get(), error,
                          delivered ? kEventMaskSize : 0, delivered ? m_wait->mask : nullptr,
                          events);
    m_wait.reset();
}

void CommPort::recordEvents(DWORD events)
{
    events &= m_mask;
    if (events == 0)
        return;
    // Events that find no wait are kept for the next one, so that nothing that happened
    // while the caller was busy goes unannounced.
    if (m_wait)
        endWait(ERROR_SUCCESS, events);
    else
        m_remembered |= events;
}

std::size_t CommPort::takeInput(std::uint8_t *out, std::size_t count)
{
    const bool wasFull = m_input.room() == 0;
    const std::size_t taken = m_input.pop(out, count);
    if (taken == 0)
        return 0;
    if (wasFull && !m_closing)
        ringDoorbell(); // the I/O thread resumes reading the device
    applyDtrHandshake();
    return taken;
}

bool CommPort::readFinished(const ReadRequest &read, Nanos at)
{
    return read.done == read.wanted || read.mode == ReadMode::Immediate ||
           (read.mode == ReadMode::FirstByte && read.done > 0) || at >= read.totalDeadline ||
           (read.done > 0 && at >= read.intervalDeadline);
}

void CommPort::feedReads(const std::uint8_t *&data, std::size_t &count, Nanos at)
{
    // Bytes go straight into a waiting read while nothing older is queued before them.
    while (count > 0 && m_input.empty() && !m_reads.empty()) {
        ReadRequest &read = m_reads.front();
        const std::size_t take = std::min<std::size_t>(count, read.wanted - read.done);
        std::memcpy(read.buffer + read.done, data, take);
        read.done += DWORD(take);
        data += take;
        count -= take;
        if (take > 0)
            read.intervalDeadline = intervalDeadline(read, at);
        if (!readFinished(read, at))
            break;
        complete(read, ERROR_SUCCESS, read.done);
        m_reads.pop_front();
    }
}

void CommPort::serviceReads(Nanos at)
{
    while (!m_reads.empty()) {
        ReadRequest &read = m_reads.front();
        if (read.done < read.wanted && !m_input.empty()) {
            read.done += DWORD(takeInput(read.buffer + read.done, read.wanted - read.done));
            read.intervalDeadline = intervalDeadline(read, at);
        }
        if (!readFinished(read, at))
            break;
        complete(read, ERROR_SUCCESS, read.done);
        m_reads.pop_front();
    }
}

void CommPort::expireRequests(Nanos at)
{
    serviceReads(at);
    // Reads queued behind the first run their total time-out from submission too.
    for (auto it = m_reads.begin(); it != m_reads.end();) {
        if (it != m_reads.begin() && at >= it->totalDeadline) {
            complete(*it, ERROR_SUCCESS, it->done);
            it = m_reads.erase(it);
        } else {
            ++it;
        }
    }
    bool expired = false;
    // A write that runs out of time ends as a success with what left the line; the rest,
    // still in the kernel's queue (only the first write has bytes there), is dropped.
    for (auto it = m_writes.begin(); it != m_writes.end();) {
        if (at >= it->deadline) {
            std::size_t left = it->sent;
            if (it == m_writes.begin() && left > 0 && !m_dead) {
                // Only a queue the device reports is dropped: a pseudo-terminal reports none,
                // and flushing it would take back bytes its far end has not read yet.
                const auto queued = std::size_t(m_drain.ours(deviceQueue()));
                if (queued > 0) {
                    left -= std::min(left, queued);
                    m_device->flushOutput();
                }
                m_drain.stop();
            }
            complete(*it, ERROR_SUCCESS, DWORD(left));
            it = m_writes.erase(it);
            expired = true;
        } else {
            ++it;
        }
    }
    if (expired && !m_dead)
        checkTransmitEmpty();
}

DWORD CommPort::read(void *buffer, DWORD count, OVERLAPPED *overlapped,
                     std::shared_ptr<EventObject> event, DWORD &done)
{
    done = 0;
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    if (!(m_access & GENERIC_READ))
        return ERROR_ACCESS_DENIED;
    if (!buffer && count > 0)
        return ERROR_NOACCESS;
    Sync::beginRequest(overlapped, event.get());
    const DWORD refusal = m_aborted                     ? ERROR_OPERATION_ABORTED
                          : (m_dead && m_input.empty()) ? ERROR_GEN_FAILURE
                                                        : ERROR_SUCCESS;
    if (refusal != ERROR_SUCCESS) {
        Sync::failRequest(overlapped, refusal);
        return refusal;
    }

    const Nanos at = now();
    ReadRequest read;
    read.overlapped = overlapped;
    read.event = std::move(event);
    read.buffer = static_cast<std::uint8_t *>(buffer);
    read.wanted = count;
    const COMMTIMEOUTS &t = m_timeouts;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
        t.ReadTotalTimeoutConstant == 0) {
        read.mode = ReadMode::Immediate;
    } else if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
               t.ReadTotalTimeoutConstant > 0 && t.ReadTotalTimeoutConstant < MAXDWORD) {
        read.mode = ReadMode::FirstByte;
        read.totalDeadline = after(at, t.ReadTotalTimeoutConstant);
    } else {
        const std::uint64_t total =
            std::uint64_t(t.ReadTotalTimeoutMultiplier) * count + t.ReadTotalTimeoutConstant;
        if (total > 0)
            read.totalDeadline = after(at, total);
        read.intervalMs = t.ReadIntervalTimeout;
    }

    if (m_reads.empty()) {
        read.done = DWORD(takeInput(read.buffer, count));
        // A dead device hands out what it had, then fails.
        if (readFinished(read, at) || m_dead) {
            complete(read, ERROR_SUCCESS, read.done);
            done = read.done;
            return ERROR_SUCCESS;
        }
        if (read.done > 0)
            read.intervalDeadline = intervalDeadline(read, at);
    }
    // The I/O thread polls for input whenever the queue has room, so it needs waking only
    // for a time-out it must watch.
    const bool timed = read.totalDeadline != kNever || read.intervalDeadline != kNever;
    m_reads.push_back(std::move(read));
    if (timed)
        ringDoorbell();
    return ERROR_IO_PENDING;
}

DWORD CommPort::write(const void *buffer, DWORD count, OVERLAPPED *overlapped,
                      std::shared_ptr<EventObject> event)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    if (!(m_access & GENERIC_WRITE))
        return ERROR_ACCESS_DENIED;
    if (!buffer && count > 0)
        return ERROR_NOACCESS;
    Sync::beginRequest(overlapped, event.get());
    const DWORD refusal = m_aborted ? ERROR_OPERATION_ABORTED
                          : m_dead  ? ERROR_GEN_FAILURE
                                    : ERROR_SUCCESS;
    if (refusal != ERROR_SUCCESS) {
        Sync::failRequest(overlapped, refusal);
        return refusal;
    }

    WriteRequest write;
    write.overlapped = overlapped;
    write.event = std::move(event);
    if (count == 0) {
        complete(write, ERROR_SUCCESS, 0);
        return ERROR_SUCCESS;
    }
    // The caller may reuse its buffer as soon as the call returns on Windows' synchronous
    // path; a copy makes that safe on every path.
    const auto *bytes = static_cast<const std::uint8_t *>(buffer);
    write.data.assign(bytes, bytes + count);
    const std::uint64_t total = std::uint64_t(m_timeouts.WriteTotalTimeoutMultiplier) * count +
                                m_timeouts.WriteTotalTimeoutConstant;
    if (total > 0)
        write.deadline = after(now(), total);
    m_writes.push_back(std::move(write));
    // An answer to what is written now may be awaited: take it as soon as it comes.
    m_gatherUntil = 0;
    m_lastWriteAt = now();
    ringDoorbell();
    return ERROR_IO_PENDING;
}

DWORD CommPort::waitEvent(DWORD *mask, OVERLAPPED *overlapped, std::shared_ptr<EventObject> event)
{
    std::lock_guard lock(m_mutex);
    if (DWORD error = usable())
        return error;
    if (!mask)
        return ERROR_NOACCESS;
    if (m_mask == 0 || m_wait)
        return ERROR_INVALID_PARAMETER;
    Sync::beginRequest(overlapped, event.get());
    if (m_dead) {
        Sync::failRequest(overlapped, ERROR_GEN_FAILURE);
        return ERROR_GEN_FAILURE;
    }
    if (const DWORD events = m_remembered & m_mask) {
        m_remembered = 0;
        Sync::completeRequest(overlapped, event.get(), ERROR_SUCCESS, kEventMaskSize, mask, events);
        return ERROR_SUCCESS;
    }
    m_wait = WaitRequest{{overlapped, std::move(event)}, mask};
    return ERROR_IO_PENDING;
}
