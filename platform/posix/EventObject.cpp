#include "platform/posix/EventObject.h"

#include <cstdint>

bool EventObject::consume()
{
    if (!m_signalled)
        return false;
    if (!m_manualReset)
        m_signalled = false;
    return true;
}

namespace Sync {

namespace {

struct State
{
    std::mutex mutex;
    std::condition_variable changed;
};

// Never destroyed: ports still open at exit complete requests from their threads.
State &state()
{
    static State *instance = new State;
    return *instance;
}

struct StatusPair
{
    DWORD error;
    ULONG_PTR status;
};

constexpr StatusPair kStatuses[] = {
    {ERROR_SUCCESS, 0x00000000u},           {ERROR_FILE_NOT_FOUND, 0xC0000034u},
    {ERROR_ACCESS_DENIED, 0xC0000022u},     {ERROR_INVALID_HANDLE, 0xC0000008u},
    {ERROR_NOT_ENOUGH_MEMORY, 0xC0000017u}, {ERROR_GEN_FAILURE, 0xC0000001u},
    {ERROR_NOT_SUPPORTED, 0xC00000BBu},     {ERROR_INVALID_PARAMETER, 0xC000000Du},
    {ERROR_OPERATION_ABORTED, 0xC0000120u},
};

// Errors without a status of their own travel in the customer range.
constexpr ULONG_PTR kCustomerStatus = 0xE0000000u;

} // namespace

std::mutex &mutex()
{
    return state().mutex;
}
std::condition_variable &changed()
{
    return state().changed;
}

void setEvent(EventObject &event)
{
    std::lock_guard lock(mutex());
    event.setSignalled(true);
    changed().notify_all();
}

void resetEvent(EventObject &event)
{
    std::lock_guard lock(mutex());
    event.setSignalled(false);
}

std::shared_ptr<EventObject> eventOf(const OVERLAPPED *overlapped)
{
    const auto value = reinterpret_cast<std::uintptr_t>(overlapped->hEvent) & ~std::uintptr_t(1);
    if (value == 0)
        return nullptr;
    return HandleTable::findAs<EventObject>(reinterpret_cast<HANDLE>(value),
                                            KernelObject::Kind::Event);
}

void beginRequest(OVERLAPPED *overlapped, EventObject *event)
{
    std::lock_guard lock(mutex());
    overlapped->Internal = STATUS_PENDING;
    overlapped->InternalHigh = 0;
    if (event)
        event->setSignalled(false);
}

void completeRequest(OVERLAPPED *overlapped, EventObject *event, DWORD error, DWORD count,
                     DWORD *maskOut, DWORD mask)
{
    std::lock_guard lock(mutex());
    if (maskOut)
        *maskOut = mask;
    overlapped->InternalHigh = count;
    overlapped->Internal = statusFromError(error);
    if (event)
        event->setSignalled(true);
    changed().notify_all();
}

void failRequest(OVERLAPPED *overlapped, DWORD error)
{
    std::lock_guard lock(mutex());
    overlapped->InternalHigh = 0;
    overlapped->Internal = statusFromError(error);
    changed().notify_all();
}

void waitRequest(const OVERLAPPED *overlapped)
{
    std::unique_lock lock(mutex());
    changed().wait(lock, [overlapped] { return overlapped->Internal != STATUS_PENDING; });
}

void requestResult(const OVERLAPPED *overlapped, ULONG_PTR &status, ULONG_PTR &count)
{
    std::lock_guard lock(mutex());
    status = overlapped->Internal;
    count = overlapped->InternalHigh;
}

ULONG_PTR statusFromError(DWORD error)
{
    for (const StatusPair &pair : kStatuses) {
        if (pair.error == error)
            return pair.status;
    }
    return kCustomerStatus | error;
}

DWORD errorFromStatus(ULONG_PTR status)
{
    for (const StatusPair &pair : kStatuses) {
        if (pair.status == status)
            return pair.error;
    }
    if ((status & 0xF0000000u) == kCustomerStatus)
        return DWORD(status & 0x0FFFFFFFu);
    return ERROR_GEN_FAILURE;
}

} // namespace Sync
