#include "serial/ComThread.h"

#include "framework/core/HandlerGuard.h"
#include "framework/core/user32.h"
#include "serial/ComEvents.h"
#include "serial/ComPort.h"
#include "serial/CommCalls.h"
#include "serial/EComPort.h"

#include <cstring>

namespace {

// How long the stop waits for the system to end a pending wait after SetCommMask(0).
constexpr DWORD kWaitEndLimitMs = 2000;

// Ends a wait the device did not end, and waits until the system lets go of its OVERLAPPED.
void cancelPendingWait(HANDLE device, OVERLAPPED *overlapped)
{
#ifdef _WIN32
    CancelIoEx(device, overlapped);
    DWORD transferred = 0;
    GetOverlappedResult(device, overlapped, &transferred, TRUE);
#else
    // Here SetCommMask(0) ends a pending wait before it returns.
    (void)device;
    (void)overlapped;
#endif
}

} // namespace

TComThread::TComThread(TCustomComPort *port)
    : m_ownerPort(port), m_stopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_watched(port->Events())
{
    SetCommMask(port->Handle(), EventSetToMask(m_watched));
    try {
        Start();
    } catch (...) {
        CloseHandle(m_stopEvent);
        throw;
    }
}

TComThread::~TComThread()
{
    SignalStop();
    WaitFor();
}

void TComThread::SignalStop()
{
    Terminate();
    SetEvent(m_stopEvent);
    Sleep(0);
}

void TComThread::Execute()
{
    NameThisThread("comm-events");
    m_threadId = std::this_thread::get_id();
    EventLoop();
}

void TComThread::EventLoop()
{
    const HANDLE device = m_ownerPort->Handle();
    OVERLAPPED overlapped;
    std::memset(&overlapped, 0, sizeof overlapped);
    overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    const HANDLE waits[2] = {m_stopEvent, overlapped.hEvent};
    // Lives until the end: a wait still pending at the stop is completed (and written to)
    // by the SetCommMask below.
    DWORD mask = 0;
    bool waitPending = false;

    for (;;) {
        mask = 0;
        // A wait the device refuses outright would leave the event signalled and turn this
        // loop into a spin; a device that has gone away gets the same treatment below.
        if (!commCalls().waitCommEvent(device, &mask, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            reportDeviceFailure(GetLastError());
            break;
        }
        const DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (result != WAIT_OBJECT_0 + 1) {
            waitPending = true;
            break;
        }
        DWORD transferred = 0;
        if (!commCalls().waitResult(device, &overlapped, &transferred, FALSE)) {
            reportDeviceFailure(GetLastError());
            break;
        }
        m_pendingEvents = MaskToEventSet(mask);
        if (!m_pendingEvents.empty())
            DispatchEvents();
    }

    // Stopped or failed: nothing is reported any more until the port is closed.
    WaitForSingleObject(m_stopEvent, INFINITE);
    SetCommMask(device, 0);
    // The system may end that wait after SetCommMask has returned, writing to `overlapped`
    // and `mask` on this stack: the frame stays until the wait has ended. A device that never
    // ends it has the request cancelled.
    if (waitPending && WaitForSingleObject(overlapped.hEvent, kWaitEndLimitMs) != WAIT_OBJECT_0)
        cancelPendingWait(device, &overlapped);
    PurgeComm(device, PURGE_TXCLEAR | PURGE_RXCLEAR);
    CloseHandle(overlapped.hEvent);
    CloseHandle(m_stopEvent);
}

void TComThread::reportDeviceFailure(DWORD systemError)
{
    // Unless the stop is what ended the wait, announce what can still be known, the line
    // errors the device recorded and the bytes still queued, and then the failure itself,
    // as the error of the wait: without it a connection that only receives would go quiet
    // without a word. Announced once; then the thread only waits for Close.
    if (WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0)
        return;
    m_ownerPort->m_waitLost =
        EComPort::lostDeviceCode(EComPort::WaitFailed, static_cast<std::int32_t>(systemError));
    m_pendingEvents = {};
    for (TComEvent event : {evError, evRxChar}) {
        if (m_watched.contains(event))
            m_pendingEvents.insert(event);
    }
    DispatchEvents(static_cast<std::int32_t>(systemError));
}

void TComThread::DispatchEvents(std::optional<std::int32_t> failedWait)
{
    TCustomComPort *port = m_ownerPort;
    switch (port->SyncMethod()) {
    case smThreadSync: {
        // By value: a handler may close the port, which destroys this object while the
        // routine is still on the UI thread's stack. The failure is raised in the same call,
        // so that it ends a wait that runs the reactions, like an error of a reaction would.
        const TComEvents events = m_pendingEvents;
        Synchronize([port, events, failedWait] {
            RunEventHandlers(port, events);
            if (failedWait)
                raiseFailedWait(port, *failedWait);
        });
        return;
    }
    case smWindowSync:
        SendEventMessages();
        break;
    case smNone:
        RunEventHandlers(port, m_pendingEvents);
        break;
    }
    // After the reactions, on the UI thread, where the transfers that may have told of the
    // loss first raise their errors.
    if (failedWait)
        Synchronize([port, code = *failedWait] { raiseFailedWait(port, code); });
}

void TComThread::raiseFailedWait(TCustomComPort *port, std::int32_t systemError)
{
    if (!port->Connected())
        return;
    // Made here and never kept: an exception object shared with another thread would be freed
    // by whichever thread lets go of it last.
    EComPort failure = EComPort::CreateForOpenPort(EComPort::WaitFailed, systemError);
    port->m_deviceLost = true;
    // A write, read or reaction that found the device gone has told the user already: one
    // loss, one report. Any other failure of the wait is raised all the same.
    const bool told = failure.DeviceGone() && port->m_lossRaised;
    if (failure.DeviceGone() && !told && port->offerLoss())
        return;
    if (failure.DeviceGone() && TCustomComPort::ClosesLostDevice)
        port->closeLostDevice();
    if (!told)
        throw failure;
}

void TComThread::RunEventHandlers(TCustomComPort *port, TComEvents events)
{
    // Each reaction on its own: one that fails must not keep the later ones of the batch
    // (above all the received bytes) from being announced.
    for (TComEvent event : reactionOrder) {
        if (!events.contains(event))
            continue;
        if (!port->Connected())
            return;
        port->reactGuarded(event);
    }
}

void TComThread::SendEventMessages()
{
    const HWND window = m_ownerPort->MessageWindow();
    for (TComEvent event : reactionOrder) {
        if (m_pendingEvents.contains(event))
            SendMessageA(window, PortEventMessage, eventMessageCode(event), 0);
    }
}
