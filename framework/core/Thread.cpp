#include "framework/core/Thread.h"

#include "framework/core/Application.h"
#include "framework/core/HandlerGuard.h"
#include "framework/core/UiCallQueue.h"

#include <stdexcept>

#ifdef _WIN32
#include <string>
#include <windows.h>
#else
#include <pthread.h>
#endif

Thread::Thread() = default;

Thread::~Thread()
{
    Terminate();
    WaitFor();
}

void Thread::Start()
{
    std::lock_guard lock(m_joinMutex);
    if (m_thread.joinable() || m_finished)
        throw std::logic_error("Thread::Start called twice");
    // The queue the new thread hands its calls to is made here, before the thread exists,
    // never lazily by the thread itself: the UI thread reads it later with nothing else in
    // between to order that first construction for it.
    UiCallQueue::instance();
    m_thread = std::thread([this] { run(); });
}

void Thread::run()
{
    runGuarded([this] { Execute(); });
    m_finished = true;
    UiCallQueue::instance().notify();
}

void Thread::NameThisThread(const char *name)
{
#ifdef _WIN32
    // Windows 10 1607 and later; older systems keep their threads unnamed.
    using SetDescription = HRESULT(WINAPI *)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<SetDescription>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
    if (!setDescription)
        return;
    const std::string narrow(name);
    const std::wstring wide(narrow.begin(), narrow.end()); // the names are ASCII
    setDescription(GetCurrentThread(), wide.c_str());
#else
    pthread_setname_np(pthread_self(), name);
#endif
}

void Thread::Terminate() noexcept
{
    m_terminated = true;
}

bool Thread::Terminated() const noexcept
{
    return m_terminated;
}

bool Thread::Finished() const noexcept
{
    return m_finished;
}

void Thread::WaitFor()
{
    std::thread::id id;
    {
        std::lock_guard lock(m_joinMutex);
        if (!m_thread.joinable())
            return;
        id = m_thread.get_id();
    }
    if (id == std::this_thread::get_id())
        return;
    if (Application::instance().isUiThread()) {
#ifdef _WIN32
        // Waited for from inside a message the thread sent: the sender is let go first, as
        // it could not end otherwise.
        if (InSendMessage())
            ReplyMessage(0);
#endif
        // What the calls served meanwhile let out is reported: a wait cannot throw.
        Application::Frame frame(Application::Frame::Report);
        UiCallQueue::instance().serveUntil([this] { return m_finished.load(); }, id);
    }
    std::lock_guard lock(m_joinMutex);
    if (m_thread.joinable())
        m_thread.join();
}

void Thread::Synchronize(const std::function<void()> &fn)
{
    if (Application::instance().isUiThread()) {
        fn();
        return;
    }
    auto call = std::make_shared<UiCall>();
    call->sender = std::this_thread::get_id();
    call->run = [fn]() -> LRESULT {
        fn();
        return 0;
    };
    auto &queue = UiCallQueue::instance();
    queue.post(call);
    queue.waitReleased(call);
}
