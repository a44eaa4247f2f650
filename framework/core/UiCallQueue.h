// The calls other threads hand to the UI thread: synchronize calls, messages sent to message
// windows and exceptions to report, in one first-in first-out queue. Any thread pushes; only
// the UI thread runs the calls: in ProcessMessages, WaitMessage, Thread::WaitFor and in the
// toolkit's own event loop (each push wakes the UI thread's EventLoop). Every call runs through
// the handler guard, which the application above hands the queue as its Host. A pushing thread that
// waits for its call blocks until the UI thread has run it, or has released it early (ReplyMessage,
// a destroyed window, a WaitFor for the sending thread while the call is on the UI thread's stack).
#pragma once

#include "platform/win32types.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct UiCall
{
    std::function<LRESULT()> run;
    std::thread::id sender;
    bool isSend = false;   // a message sent to a message window: InSendMessage is TRUE
    HWND window = nullptr; // its window, for releasing it when the window goes
    // Guarded by the queue's mutex.
    bool released = false; // the sender may go on
    LRESULT result = 0;
};

class UiCallQueue
{
public:
    static UiCallQueue &instance();

    // What the queue asks of the application that runs it, installed once at start, before any
    // call runs: the guard each call runs through, and whether the innermost dispatch frame has
    // captured an exception (a pass then stops taking calls).
    class Host
    {
    public:
        virtual void runGuarded(const std::function<void()> &call) noexcept = 0;
        virtual bool dispatchInterrupted() const = 0;

    protected:
        ~Host() = default;
    };
    void setHost(Host &host) { m_host = &host; }

    // Any thread: queue a call and wake the UI thread.
    void post(std::shared_ptr<UiCall> call);
    // Any thread but the UI thread: block until the posted call is released; its result.
    LRESULT waitReleased(const std::shared_ptr<UiCall> &call);

    // UI thread: run the calls that are waiting now, one by one, stopping early when the
    // innermost dispatch frame has captured an exception.
    void drain();
    // UI thread: run calls as they arrive until done() holds; done is tested under the
    // queue's lock, and whoever changes its answer calls notify(). A call of thread `owner`
    // that is running further up the UI thread's stack is released, so that a thread waited
    // for from inside its own call can end. The caller chooses where the calls' exceptions go
    // (Thread::WaitFor opens a reporting frame).
    void serveUntil(const std::function<bool()> &done, std::thread::id owner);
    // UI thread: the event loop's wake-up arrived; runs what waits (as drain).
    void wakeArrived();
    // Any thread: wake the threads sleeping in serveUntil and waitReleased.
    void notify();

    bool empty() const;

    // Releases, with result 0, every queued send to `window` (which is being destroyed).
    void releaseSendsTo(HWND window);

    // UI thread: the cross-thread send being processed by the innermost running call, or null.
    static UiCall *currentSend();
    // Releases the current send with `result`; false when there is none or it was released.
    bool replyCurrentSend(LRESULT result);

    // Marks the UI thread as not processing a cross-thread send, for the life of the scope
    // (a window procedure called directly by SendMessageA on the UI thread).
    class DirectCallScope
    {
    public:
        DirectCallScope();
        ~DirectCallScope();
        DirectCallScope(const DirectCallScope &) = delete;
        DirectCallScope &operator=(const DirectCallScope &) = delete;

    private:
        UiCall *m_saved;
    };

private:
    UiCallQueue();
    void runCall(const std::shared_ptr<UiCall> &call);
    std::shared_ptr<UiCall> takeFirst();
    void postWakeLocked();
    // Wakes every waiter: the condition variable's, and on Windows the UI thread's message wait.
    void signalChanged();
    // UI thread, in serveUntil: sleeps until signalChanged (on Windows also serving the
    // messages other threads send to its windows meanwhile).
    void waitForChange(std::unique_lock<std::mutex> &lock);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<UiCall>> m_calls;
    std::vector<std::shared_ptr<UiCall>> m_running; // the UI thread's stack of running calls
    bool m_wakePosted = false;
    Host *m_host = nullptr;
#ifdef _WIN32
    HANDLE m_changedEvent; // auto-reset: set after each change, taken by the UI thread's wait
#endif
};
