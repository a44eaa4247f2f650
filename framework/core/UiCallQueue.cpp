#include "framework/core/UiCallQueue.h"

#include "framework/core/EventLoop.h"

#include <algorithm>

namespace {

// Set on the UI thread only, while a call or a window procedure runs.
thread_local UiCall *t_currentSend = nullptr;

} // namespace

#ifdef _WIN32
UiCallQueue::UiCallQueue() : m_changedEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr))
#else
UiCallQueue::UiCallQueue()
#endif
{
    EventLoop::setWakeHandler([] { instance().wakeArrived(); });
}

void UiCallQueue::signalChanged()
{
    m_changed.notify_all();
#ifdef _WIN32
    SetEvent(m_changedEvent);
#endif
}

void UiCallQueue::waitForChange(std::unique_lock<std::mutex> &lock)
{
#ifdef _WIN32
    // A message another thread sends to one of the UI thread's windows is delivered only
    // while this thread retrieves messages: without that a sender could never end.
    lock.unlock();
    MsgWaitForMultipleObjectsEx(1, &m_changedEvent, INFINITE, QS_SENDMESSAGE, 0);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    lock.lock();
#else
    m_changed.wait(lock);
#endif
}

UiCallQueue &UiCallQueue::instance()
{
    static UiCallQueue queue;
    return queue;
}

void UiCallQueue::post(std::shared_ptr<UiCall> call)
{
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
        postWakeLocked();
    }
    signalChanged();
}

void UiCallQueue::postWakeLocked()
{
    // The wake-up makes the toolkit's own event loop (and a sleeping WaitMessage) serve the
    // queue. Posted under the queue's lock and taken under it, which keeps the hand-over between
    // threads visible to the race detector.
    if (!m_wakePosted)
        m_wakePosted = EventLoop::current().wake();
}

void UiCallQueue::wakeArrived()
{
    {
        std::lock_guard lock(m_mutex);
        m_wakePosted = false;
    }
    drain();
}

LRESULT UiCallQueue::waitReleased(const std::shared_ptr<UiCall> &call)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return call->released; });
    return call->result;
}

std::shared_ptr<UiCall> UiCallQueue::takeFirst()
{
    std::lock_guard lock(m_mutex);
    if (m_calls.empty())
        return nullptr;
    auto call = std::move(m_calls.front());
    m_calls.pop_front();
    m_running.push_back(call);
    return call;
}

void UiCallQueue::runCall(const std::shared_ptr<UiCall> &call)
{
    UiCall *saved = t_currentSend;
    t_currentSend = call->isSend ? call.get() : nullptr;
    LRESULT result = 0;
    m_host->runGuarded([&] { result = call->run(); });
    t_currentSend = saved;
    {
        std::lock_guard lock(m_mutex);
        m_running.erase(std::find(m_running.begin(), m_running.end(), call));
        if (!call->released) {
            call->result = result;
            call->released = true;
        }
    }
    signalChanged();
}

void UiCallQueue::drain()
{
    std::size_t count = 0;
    {
        std::lock_guard lock(m_mutex);
        count = m_calls.size();
    }
    // Only the calls waiting now: calls that arrive meanwhile belong to the next pass, so a
    // busy sender cannot keep the UI thread here.
    for (; count > 0; --count) {
        if (m_host->dispatchInterrupted()) {
            // The pass ends with the failure; whatever waits must still wake the loop later.
            std::lock_guard lock(m_mutex);
            if (!m_calls.empty())
                postWakeLocked();
            return;
        }
        auto call = takeFirst();
        if (!call)
            return;
        runCall(call);
    }
}

void UiCallQueue::serveUntil(const std::function<bool()> &done, std::thread::id owner)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (done())
            return;
        bool released = false;
        for (auto &running : m_running) {
            if (running->sender == owner && !running->released) {
                running->result = 0;
                running->released = true;
                released = true;
            }
        }
        if (released) {
            signalChanged();
            continue;
        }
        if (!m_calls.empty()) {
            lock.unlock();
            if (auto call = takeFirst())
                runCall(call);
            lock.lock();
            continue;
        }
        waitForChange(lock);
    }
}

void UiCallQueue::notify()
{
    {
        std::lock_guard lock(m_mutex);
    }
    signalChanged();
}

bool UiCallQueue::empty() const
{
    std::lock_guard lock(m_mutex);
    return m_calls.empty();
}

void UiCallQueue::releaseSendsTo(HWND window)
{
    {
        std::lock_guard lock(m_mutex);
        auto gone = std::remove_if(m_calls.begin(), m_calls.end(), [&](const auto &call) {
            if (!call->isSend || call->window != window)
                return false;
            call->result = 0;
            call->released = true;
            return true;
        });
        m_calls.erase(gone, m_calls.end());
    }
    signalChanged();
}

UiCall *UiCallQueue::currentSend()
{
    return t_currentSend;
}

bool UiCallQueue::replyCurrentSend(LRESULT result)
{
    UiCall *call = t_currentSend;
    if (!call)
        return false;
    {
        std::lock_guard lock(m_mutex);
        if (call->released)
            return false;
        call->result = result;
        call->released = true;
    }
    signalChanged();
    return true;
}

UiCallQueue::DirectCallScope::DirectCallScope() : m_saved(t_currentSend)
{
    t_currentSend = nullptr;
}

UiCallQueue::DirectCallScope::~DirectCallScope()
{
    t_currentSend = m_saved;
}
