#include "framework/core/EventLoop.h"

#include "framework/core/UiCallQueue.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// Static initialisation runs on the main thread.
const std::thread::id g_mainThread = std::this_thread::get_id();

class PlainEventLoop : public EventLoop
{
public:
    bool isUiThread() const override { return std::this_thread::get_id() == g_mainThread; }

    void processEvents() override
    {
        if (takeWake())
            UiCallQueue::instance().wakeArrived();
    }

    void waitForEvents() override
    {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_woken; });
        }
        processEvents();
    }

    bool wake() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_changed.notify_all();
        return true;
    }

private:
    bool takeWake()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_woken, false);
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_woken = false;
};

std::atomic<EventLoop *> g_installed{nullptr};

} // namespace

EventLoop &EventLoop::current()
{
    if (EventLoop *loop = g_installed.load(std::memory_order_acquire))
        return *loop;
    static PlainEventLoop plain;
    return plain;
}

void EventLoop::install(EventLoop *loop)
{
    g_installed.store(loop, std::memory_order_release);
}
