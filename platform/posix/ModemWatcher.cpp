#include "platform/posix/ModemWatcher.h"

#include "platform/posix/LineStatus.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <system_error>

namespace {

// A driver that ends the wait without a change, again and again, would make the watcher a
// busy loop of queries: after this many in a row it is polled instead.
constexpr int kMostEmptyWakes = 100;

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
        sigaction(SIGRTMIN + 4, &action, nullptr);
    });
}

} // namespace

int ModemWatcher::wakeSignal()
{
    installWakeHandler();
    return SIGRTMIN + 4;
}

bool ModemWatcher::start(LineStatus &lines, std::mutex &portMutex, Handler handler,
                         std::function<void()> onGiveUp)
{
    if (!lines.waitsForModemChanges())
        return false;
    installWakeHandler();
    m_lines = &lines;
    m_mutex = &portMutex;
    m_handler = std::move(handler);
    m_onGiveUp = std::move(onGiveUp);
    // The thread may give up before this returns: the result is not read back from it.
    try {
        m_waiting = true;
        m_running = true;
        m_thread = std::thread(&ModemWatcher::run, this);
        return true;
    } catch (const std::system_error &) {
        m_waiting = false;
        m_running = false;
        return false;
    }
}

void ModemWatcher::run()
{
    pthread_setname_np(pthread_self(), "comm-modem");
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, wakeSignal());
    pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
    int emptyWakes = 0;
    for (;;) {
        const int status = m_lines->waitModemChange();
        std::lock_guard lock(*m_mutex);
        const Wake wake = m_stopping ? Wake::Stop : m_handler(status);
        if (wake == Wake::Stop)
            break;
        emptyWakes = status == 0 && wake == Wake::Unchanged ? emptyWakes + 1 : 0;
        if ((status != 0 && status != EINTR) || emptyWakes > kMostEmptyWakes) {
            m_waiting = false;
            m_onGiveUp();
            break;
        }
    }
    std::lock_guard lock(*m_mutex);
    m_running = false;
    m_ended.notify_all();
}

void ModemWatcher::stop()
{
    if (!m_thread.joinable())
        return;
    const pthread_t thread = m_thread.native_handle();
    std::unique_lock lock(*m_mutex);
    m_stopping = true;
    // A signal that comes before the thread is inside the wait is lost: repeat until it ends.
    while (m_running) {
        pthread_kill(thread, wakeSignal());
        m_ended.wait_for(lock, std::chrono::milliseconds(5));
    }
    lock.unlock();
    m_thread.join();
}
