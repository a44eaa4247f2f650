// Event objects and the completion of overlapped requests. One process-wide lock guards every
// event's state and every OVERLAPPED field the layer writes; one condition variable wakes all
// waiters on any change and each re-checks its own condition. Used by the wait functions
// (any thread) and by the comm ports' I/O threads when they complete requests.
#pragma once

#include "platform/posix/HandleTable.h"
#include "platform/win32.h"

#include <condition_variable>
#include <memory>
#include <mutex>

class EventObject : public KernelObject
{
public:
    EventObject(bool manualReset, bool signalled)
        : m_manualReset(manualReset), m_signalled(signalled)
    {}
    Kind kind() const override { return Kind::Event; }

    // Callers hold Sync::mutex().
    bool manualReset() const { return m_manualReset; }
    bool signalled() const { return m_signalled; }
    void setSignalled(bool on) { m_signalled = on; }
    // Takes the signal: true when it was set; an auto-reset event is reset by it.
    bool consume();

private:
    const bool m_manualReset;
    bool m_signalled;
};

namespace Sync {

std::mutex &mutex();
std::condition_variable &changed();

void setEvent(EventObject &event);
void resetEvent(EventObject &event);

// The event object of an OVERLAPPED's hEvent (the low bit, a completion-port hint on Windows,
// is ignored); empty for NULL or an unknown handle.
std::shared_ptr<EventObject> eventOf(const OVERLAPPED *overlapped);

// A request enters the pending state: Internal = STATUS_PENDING, InternalHigh = 0, event reset.
void beginRequest(OVERLAPPED *overlapped, EventObject *event);
// A request ends: its results are written, then its event is signalled and waiters wake.
// error 0 is success; maskOut (WaitCommEvent's output) receives mask when given.
void completeRequest(OVERLAPPED *overlapped, EventObject *event, DWORD error, DWORD count,
                     DWORD *maskOut = nullptr, DWORD mask = 0);
// A request fails at submission: Internal holds the error, the event stays reset.
void failRequest(OVERLAPPED *overlapped, DWORD error);
// Blocks until the request is no longer pending.
void waitRequest(const OVERLAPPED *overlapped);
// Internal and InternalHigh read under the lock.
void requestResult(const OVERLAPPED *overlapped, ULONG_PTR &status, ULONG_PTR &count);

// OVERLAPPED.Internal holds a system status as on Windows; these convert to and from the
// error numbers GetLastError reports.
ULONG_PTR statusFromError(DWORD error);
DWORD errorFromStatus(ULONG_PTR status);

} // namespace Sync
