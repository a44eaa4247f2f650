// The UI thread's source of events, which the application's ProcessMessages and WaitMessage
// pump and the call queue wakes; a wake-up runs the handler installed here, so the loop knows
// neither of them. A window toolkit installs its own loop (its event loop, on the thread that
// made its application object); without one, a plain loop serves the program's main thread and
// knows only the wake-ups (the command line program, the tests below the window). On Windows
// the plain loop is the main thread's Win32 message loop, which also serves the windows made on
// that thread.
#pragma once

class EventLoop
{
public:
    virtual ~EventLoop() = default;

    // The installed loop, else the plain one. Any thread.
    static EventLoop &current();
    // Installs a loop that lives until the program ends (null: the plain one again).
    static void install(EventLoop *loop);

    virtual bool isUiThread() const = 0;
    // UI thread: dispatches what is waiting and returns.
    virtual void processEvents() = 0;
    // UI thread: sleeps until something arrives and dispatches it.
    virtual void waitForEvents() = 0;
    // Any thread: makes the UI thread call wakeArrived soon; false when there is no UI thread
    // to wake (a toolkit loop whose application object is gone).
    virtual bool wake() = 0;

    // What a wake-up runs on the UI thread, installed by the one who wakes (the call queue);
    // until then a wake-up does nothing. Any thread.
    static void setWakeHandler(void (*handler)());
    // UI thread: a loop's wake-up arrived; runs the handler.
    static void wakeArrived();

    // The program's quit (its last window closed), recorded where the loop or the toolkit first
    // meets it, so that every nested wait can end on it: a nested wait sees neither the quit
    // message, left for the outer loop, nor a timer behind it. Forgotten when a message loop
    // starts. Any thread.
    static void recordQuit();
    static bool quitRecorded();
    static void forgetQuit();
};
