// A comm port's modem watcher: a thread that sleeps in the driver until a modem input line
// changes (TIOCMIWAIT), so that an idle port costs no queries. On USB adapters every query of
// the lines is a control transfer; polling them every few milliseconds kept the bus busy.
// The wait ends only on a change or a signal: closing the port signals the thread until it
// has gone.
#include "platform/posix/CommPort.h"

#include <cerrno>
#include <csignal>
#include <mutex>
#include <pthread.h>

namespace {

int wakeSignal()
{
    return SIGRTMIN + 4;
}

void installWakeHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action
        {
        };
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the wait must end with EINTR
        sigaction(wakeSignal(), &action, nullptr);
    });
}

} // namespace

void CommPort::watchModemLines()
{
    pthread_setname_np(pthread_self(), "comm-modem");
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, wakeSignal());
    pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
    // A driver that wakes the wait without a change, again and again, would make this a
    // busy loop of queries: it gets polled instead.
    int emptyWakes = 0;
    for (;;) {
        const int status = m_lineStatus->waitModemChange();
        std::lock_guard lock(m_mutex);
        if (m_closing || m_dead)
            break;
        const DWORD before = m_modem;
        if (status == 0)
            recordEvents(sampleModemLines());
        emptyWakes = status == 0 && m_modem == before ? emptyWakes + 1 : 0;
        if ((status != 0 && status != EINTR) || emptyWakes > 100) {
            // The device cannot wait (or failed to): the I/O thread polls instead.
            m_modemWaits = false;
            ringDoorbell();
            break;
        }
    }
    std::lock_guard lock(m_mutex);
    m_watcherRunning = false;
    m_watcherEnded.notify_all();
}

void CommPort::startModemWatcher()
{
    if (!m_modemKnown || !m_lineStatus->waitsForModemChanges())
        return;
    installWakeHandler();
    try {
        m_modemWaits = true;
        m_watcherRunning = true;
        m_modemWatcher = std::thread(&CommPort::watchModemLines, this);
    } catch (const std::system_error &) {
        m_modemWaits = false;
        m_watcherRunning = false;
    }
}

void CommPort::stopModemWatcher()
{
    if (!m_modemWatcher.joinable())
        return;
    const pthread_t thread = m_modemWatcher.native_handle();
    std::unique_lock lock(m_mutex);
    // A signal that comes before the thread is inside the wait is lost: repeat until it ends.
    while (m_watcherRunning) {
        pthread_kill(thread, wakeSignal());
        m_watcherEnded.wait_for(lock, std::chrono::milliseconds(5));
    }
    lock.unlock();
    m_modemWatcher.join();
}
