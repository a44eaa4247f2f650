#include "platform/posix/EventObject.h"
#include "platform/posix/HandleTable.h"
#include "platform/win32.h"

#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::shared_ptr<EventObject> findEvent(HANDLE handle)
{
    return HandleTable::findAs<EventObject>(handle, KernelObject::Kind::Event);
}

// Index of the object that ends the wait (taking its signal), or -1 while none does.
int takeSignal(const std::vector<std::shared_ptr<EventObject>> &events, bool waitAll)
{
    if (waitAll) {
        for (const auto &event : events) {
            if (!event->signalled())
                return -1;
        }
        for (const auto &event : events)
            event->consume();
        return 0;
    }
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i]->consume())
            return int(i);
    }
    return -1;
}

DWORD waitForEvents(const std::vector<std::shared_ptr<EventObject>> &events, bool waitAll,
                    DWORD milliseconds)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(Sync::mutex());
    for (;;) {
        const int index = takeSignal(events, waitAll);
        if (index >= 0)
            return WAIT_OBJECT_0 + DWORD(index);
        if (milliseconds == INFINITE)
            Sync::changed().wait(lock);
        else if (Sync::changed().wait_until(lock, deadline) == std::cv_status::timeout) {
            const int last = takeSignal(events, waitAll);
            return last >= 0 ? WAIT_OBJECT_0 + DWORD(last) : WAIT_TIMEOUT;
        }
    }
}

} // namespace

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR)
{
    return HandleTable::insert(
        std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE));
}

BOOL SetEvent(HANDLE hEvent)
{
    std::shared_ptr<EventObject> event = findEvent(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Sync::setEvent(*event);
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent)
{
    std::shared_ptr<EventObject> event = findEvent(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Sync::resetEvent(*event);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds)
{
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<EventObject>> events;
    events.reserve(nCount);
    for (DWORD i = 0; i < nCount; ++i) {
        events.push_back(findEvent(lpHandles[i]));
        if (!events.back()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    return waitForEvents(events, bWaitAll != FALSE, dwMilliseconds);
}

void Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
    } while (dwMilliseconds == INFINITE);
}

BOOL GetOverlappedResult(HANDLE, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                         BOOL bWait)
{
    if (!lpOverlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ULONG_PTR status = 0;
    ULONG_PTR count = 0;
    Sync::requestResult(lpOverlapped, status, count);
    if (status == STATUS_PENDING) {
        if (!bWait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        // Completion always happens under the lock that waitRequest watches, so this needs
        // neither hEvent nor the file handle and cannot miss the moment.
        Sync::waitRequest(lpOverlapped);
        Sync::requestResult(lpOverlapped, status, count);
    }
    if (lpNumberOfBytesTransferred)
        *lpNumberOfBytesTransferred = DWORD(count);
    if (status != 0) {
        SetLastError(Sync::errorFromStatus(status));
        return FALSE;
    }
    return TRUE;
}
