#include "framework/core/EventLoop.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#ifdef _WIN32
#include <system_error>
#include <windows.h>
#endif

namespace {

// Static initialisation runs on the main thread.
const std::thread::id g_mainThread = std::this_thread::get_id();

std::atomic<bool> g_quitRecorded{false};

std::atomic<void (*)()> g_wakeHandler{nullptr};

#ifdef _WIN32

// The main thread's Win32 message queue. The wake-up is a message posted to a hidden window
// of that thread, not a thread message: modal loops (message boxes, menus, a window's own
// loop) dispatch it too.
class PlainEventLoop : public EventLoop
{
public:
    PlainEventLoop()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ZephraWakeWindow";
        RegisterClassA(&windowClass);
        m_wakeWindow = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0,
                                       HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
        if (!m_wakeWindow)
            throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                    "CreateWindowExA");
        SetWindowLongPtrA(m_wakeWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    bool isUiThread() const override { return std::this_thread::get_id() == g_mainThread; }

    void processEvents() override
    {
        MSG message;
        while (take(message, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    void waitForEvents() override
    {
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        processEvents();
    }

    bool wake() override { return PostMessageA(m_wakeWindow, kWakeMessage, 0, 0) != FALSE; }

private:
    // PeekMessage with PM_REMOVE, except that it never takes the quit: whatever the filter, a
    // waiting WM_QUIT is retrieved, and eaten here it would never end the program's loop. It is
    // recorded and posted again for the outer loop, and nothing more is taken.
    static bool take(MSG &message, UINT first, UINT last, UINT flags)
    {
        if (!PeekMessageA(&message, nullptr, first, last, flags))
            return false;
        if (message.message != WM_QUIT)
            return true;
        recordQuit();
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }

    // Posted messages come before input, painting and timers, and in a flood the next wake is
    // posted while the calls run: served at once, the calls would keep the window from ever
    // repainting, ticking or taking a click. So the window's waiting paints and timers go
    // first, and waiting input defers the calls behind it, to a timer of the wake window.
    void wakeArrived(bool deferred)
    {
        if (deferred)
            KillTimer(m_wakeWindow, kDeferTimer);
        else if (LOWORD(GetQueueStatus(QS_INPUT)) != 0) {
            SetTimer(m_wakeWindow, kDeferTimer, USER_TIMER_MINIMUM, nullptr);
            return;
        }
        MSG message;
        while (take(message, 0, 0, PM_REMOVE | PM_QS_PAINT))
            DispatchMessageA(&message);
        while (take(message, WM_TIMER, WM_TIMER, PM_REMOVE))
            DispatchMessageA(&message);
        EventLoop::wakeArrived();
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *self = reinterpret_cast<PlainEventLoop *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self == nullptr || (message != kWakeMessage && message != WM_TIMER))
            return DefWindowProcA(window, message, wParam, lParam);
        self->wakeArrived(message == WM_TIMER);
        return 0;
    }

    static constexpr UINT kWakeMessage = WM_APP;
    static constexpr UINT_PTR kDeferTimer = 1;
    HWND m_wakeWindow = nullptr;
};

// Made at start, on the main thread, whose queue the wake window belongs to; the first wake
// may come from any thread.
PlainEventLoop &plainLoop()
{
    static PlainEventLoop loop;
    return loop;
}
const bool g_plainLoopMade = (plainLoop(), true);

#else

class PlainEventLoop : public EventLoop
{
public:
    bool isUiThread() const override { return std::this_thread::get_id() == g_mainThread; }

    void processEvents() override
    {
        if (takeWake())
            wakeArrived();
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

PlainEventLoop &plainLoop()
{
    static PlainEventLoop loop;
    return loop;
}

#endif

std::atomic<EventLoop *> g_installed{nullptr};

} // namespace

EventLoop &EventLoop::current()
{
    if (EventLoop *loop = g_installed.load(std::memory_order_acquire))
        return *loop;
    return plainLoop();
}

void EventLoop::install(EventLoop *loop)
{
    g_installed.store(loop, std::memory_order_release);
}

void EventLoop::recordQuit()
{
    g_quitRecorded.store(true);
}

bool EventLoop::quitRecorded()
{
    return g_quitRecorded.load();
}

void EventLoop::forgetQuit()
{
    g_quitRecorded.store(false);
}

void EventLoop::setWakeHandler(void (*handler)())
{
    g_wakeHandler.store(handler, std::memory_order_release);
}

void EventLoop::wakeArrived()
{
    if (void (*handler)() = g_wakeHandler.load(std::memory_order_acquire))
        handler();
}
