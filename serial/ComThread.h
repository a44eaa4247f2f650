// The port's event thread: while a port is open with a non-empty Events, it waits on the
// device for the events of that set and has the port react to each batch, in the fixed
// order of reactionOrder, in the thread that the port's SyncMethod names (see ComPort.h).
// Created and destroyed by the port on the UI thread (Open and Close); the destructor stops
// the loop and returns when the thread has ended, serving its pending synchronize call or
// message meanwhile. The thread never ends on an exception from a handler or reaction. When
// its wait fails (the device hung up or vanished), it announces the line errors and bytes
// still known, then raises EComPort "WaitForEvent method failed" with the system error on
// the UI thread, once, and only waits for the stop; a loss that a transfer's failure raised
// first is not raised again.
#pragma once

#include "framework/core/Thread.h"
#include "platform/win32.h"
#include "serial/settings/ComTypes.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <optional>
#include <thread>

class TCustomComPort;

class TComThread : public Thread
{
public:
    // Creates the stop event, sets the device's event mask from the port's Events and starts.
    explicit TComThread(TCustomComPort *port);
    // SignalStop, then waits until the loop has ended.
    ~TComThread() override;

    // Ends the wait of the loop; the loop then clears the mask, purges the queues and ends.
    void SignalStop();

    // True on the event thread itself.
    bool isCurrent() const { return std::this_thread::get_id() == m_threadId.load(); }

    // Runs the port's reactions to events in the fixed order, each through the handler
    // guard, while the port stays Connected.
    static void RunEventHandlers(TCustomComPort *port, TComEvents events);

protected:
    void Execute() override;

private:
    void EventLoop();
    // Has the port react to m_pendingEvents in the thread its SyncMethod names; a failed wait
    // given (its system error) is raised on the UI thread after those reactions.
    void DispatchEvents(std::optional<std::int32_t> failedWait = std::nullopt);
    void SendEventMessages();
    // UI thread: marks the device lost and raises the failed wait, unless the port was closed
    // meanwhile or a transfer has raised the same loss.
    static void raiseFailedWait(TCustomComPort *port, std::int32_t systemError);
    void reportDeviceFailure(DWORD systemError);

    TCustomComPort *m_ownerPort;
    HANDLE m_stopEvent;
    TComEvents m_watched;       // the port's Events when the thread started
    TComEvents m_pendingEvents; // event thread only
    std::atomic<std::thread::id> m_threadId{};
};
