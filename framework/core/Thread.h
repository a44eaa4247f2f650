// The thread class: a worker created suspended and started explicitly, whose body is Execute().
// Synchronize hands a routine to the UI thread and blocks until it has run there; WaitFor,
// called on the UI thread, keeps serving synchronize calls and sent messages while it waits,
// so a thread that is blocked in Synchronize (or SendMessageA) can still end.
// Exceptions never end the program or get lost: one that leaves Execute, or a routine run by
// Synchronize, goes to the UI thread through the handler guard (re-thrown out of the running
// ProcessMessages, or reported); the thread that called Synchronize goes on.
// Start, Terminate, WaitFor and the destructor are called by the thread's owner (usually the
// UI thread); Terminated and Synchronize by the thread itself.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class Thread
{
public:
    // Creates the thread suspended: nothing runs until Start().
    Thread();
    // Terminate(), then WaitFor(). A subclass whose Execute or synchronized routines use its
    // own members must stop the thread and WaitFor in its own destructor, before they go.
    // Must not be called from the thread itself.
    virtual ~Thread();

    Thread(const Thread &) = delete;
    Thread &operator=(const Thread &) = delete;

    // Runs Execute() on a new thread. Starting twice throws std::logic_error.
    void Start();
    // Asks Execute() to end: it should test Terminated() and return.
    void Terminate() noexcept;
    bool Terminated() const noexcept;
    // True once Execute() has returned.
    bool Finished() const noexcept;

    // Returns when the thread has ended (at once when it never started). On the UI thread it
    // runs the synchronize calls and sent messages that arrive meanwhile (a failing one is
    // reported, not thrown). Called from inside one of this thread's own synchronize calls,
    // it releases that call's Synchronize instead of deadlocking; the routine then finishes
    // after WaitFor has returned. From the thread itself it returns at once.
    void WaitFor();

    // Runs fn on the UI thread through the handler guard while the calling thread blocks;
    // returns when fn has returned or failed (its exception went to the UI thread). Called on
    // the UI thread it calls fn directly, and an exception passes to the caller.
    static void Synchronize(const std::function<void()> &fn);

protected:
    virtual void Execute() = 0;
    // Names the calling thread, as top -H and debuggers show it (at most 15 characters).
    static void NameThisThread(const char *name);

private:
    void run();

    std::mutex m_joinMutex;
    std::thread m_thread;
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_finished{false};
};
