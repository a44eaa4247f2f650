// A comm port's modem watcher: the thread "comm-modem", which sleeps in the driver until a
// modem input line changes (LineStatus::waitModemChange), so that an idle port costs no
// queries. On USB adapters every query of the lines is a control transfer; polling them every
// few milliseconds kept the bus busy. The wait ends only on a change or a signal: stop() sends
// the thread the process-wide real-time signal SIGRTMIN + 4 (wakeSignal(); its handler, set
// once per process, does nothing) until the thread has gone. A device whose wait fails, or
// that ends it more than 100 times in a row without a change, is given up on: the watcher
// ends and the port polls the lines instead.
//
// The port's lock covers the watcher: the handler runs under it, and waiting() is read under
// it. start() and stop() are called without it.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class LineStatus;

class ModemWatcher
{
public:
    // What the handler made of one end of the wait.
    enum class Wake { Changed, Unchanged, Stop };
    // Called on the watcher thread with the port's lock held, with the wait's status (0 on a
    // change, EINTR, or the error it failed with); Stop ends the watcher.
    using Handler = std::function<Wake(int status)>;

    ModemWatcher() = default;
    ~ModemWatcher() { stop(); }
    ModemWatcher(const ModemWatcher &) = delete;
    ModemWatcher &operator=(const ModemWatcher &) = delete;

    // Installs the signal's handler on first use. The port's close uses it too: it ends a
    // driver's wait in close() (see TtyDevice::release).
    static int wakeSignal();

    // Starts the thread where the device can wait for changes; returns whether it runs.
    // onGiveUp is called with the port's lock held when the watcher gives up on the device.
    bool start(LineStatus &lines, std::mutex &portMutex, Handler handler,
               std::function<void()> onGiveUp);
    // Ends the wait and the thread; the handler is not called again.
    void stop();
    // Whether the thread waits for the modem lines' changes, so that nobody need poll them.
    bool waiting() const { return m_waiting; }

private:
    void run();

    LineStatus *m_lines = nullptr;
    std::mutex *m_mutex = nullptr;
    Handler m_handler;
    std::function<void()> m_onGiveUp;
    std::thread m_thread;
    bool m_waiting = false;
    bool m_running = false;
    bool m_stopping = false;
    std::condition_variable m_ended;
};
