#include "framework/core/user32.h"

#include "framework/core/Application.h"
#include "framework/core/UiCallQueue.h"

#include <map>
#include <memory>
#include <mutex>

#ifdef _WIN32
#include "framework/core/HandlerGuard.h"

#include <system_error>
#endif

#ifndef _WIN32

namespace {

struct WindowTable
{
    // Lock order: this mutex before the call queue's.
    std::mutex mutex;
    std::map<HWND, std::shared_ptr<const MessageWindowProc>> procs;
    std::uintptr_t lastHandle = 0;
};

WindowTable &windows()
{
    static WindowTable table;
    return table;
}

std::shared_ptr<const MessageWindowProc> findProc(HWND window)
{
    auto &table = windows();
    std::lock_guard lock(table.mutex);
    auto it = table.procs.find(window);
    return it == table.procs.end() ? nullptr : it->second;
}

} // namespace

HWND allocateMessageWindow(MessageWindowProc proc)
{
    auto &table = windows();
    std::lock_guard lock(table.mutex);
    // Even values from a counter: handles stay distinct from small integers and are never
    // reused, so a stale handle never reaches another window.
    table.lastHandle += 2;
    auto window = reinterpret_cast<HWND>(0x10000 + table.lastHandle);
    table.procs.emplace(window, std::make_shared<const MessageWindowProc>(std::move(proc)));
    return window;
}

void deallocateMessageWindow(HWND window)
{
    auto &table = windows();
    std::lock_guard lock(table.mutex);
    if (table.procs.erase(window))
        UiCallQueue::instance().releaseSendsTo(window);
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (Application::instance().isUiThread()) {
        auto proc = findProc(hWnd);
        if (!proc)
            return 0;
        UiCallQueue::DirectCallScope direct;
        return (*proc)(Msg, wParam, lParam);
    }
    auto call = std::make_shared<UiCall>();
    call->sender = std::this_thread::get_id();
    call->isSend = true;
    call->window = hWnd;
    call->run = [=]() -> LRESULT {
        // Looked up again: the window may have gone while the message waited.
        auto proc = findProc(hWnd);
        return proc ? (*proc)(Msg, wParam, lParam) : 0;
    };
    {
        // Queued under the table's lock, so that a concurrent destroy either finds the
        // message queued and releases it, or happened first and we return at once.
        auto &table = windows();
        std::lock_guard lock(table.mutex);
        if (!table.procs.count(hWnd))
            return 0;
        UiCallQueue::instance().post(call);
    }
    return UiCallQueue::instance().waitReleased(call);
}

BOOL InSendMessage()
{
    return UiCallQueue::currentSend() ? TRUE : FALSE;
}

BOOL ReplyMessage(LRESULT lResult)
{
    return UiCallQueue::instance().replyCurrentSend(lResult) ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

#else

namespace {

constexpr const char *kMessageWindowClass = "ZephraMessageWindow";
// Asks a message window's own thread to destroy it (only that thread may).
constexpr UINT kDestroyRequest = WM_APP + 0x3ff;

// The procedure a window is bound to, shared with the calls running it: a procedure that
// destroys its own window finishes with its captures intact.
using ProcHolder = std::shared_ptr<MessageWindowProc>;

ProcHolder *holderOf(HWND window)
{
    return reinterpret_cast<ProcHolder *>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The procedure of every message window. Until allocateMessageWindow has bound the window's
// procedure (the creation messages), and after deallocateMessageWindow has unbound it (the
// destruction messages), the window behaves as a default one. No exception may cross the
// system's frames: one that the procedure lets out goes to the handler guard, result 0.
LRESULT CALLBACK messageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kDestroyRequest) {
        deallocateMessageWindow(window);
        return 0;
    }
    ProcHolder *holder = holderOf(window);
    if (!holder)
        return DefWindowProcA(window, message, wParam, lParam);
    const ProcHolder proc = *holder;
    LRESULT result = 0;
    runGuarded([&] { result = (*proc)(message, wParam, lParam); });
    return result;
}

HINSTANCE registeredClass()
{
    static const HINSTANCE instance = [] {
        const HINSTANCE module = GetModuleHandleA(nullptr);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = messageWindowProc;
        windowClass.hInstance = module;
        windowClass.lpszClassName = kMessageWindowClass;
        if (!RegisterClassA(&windowClass))
            throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                    "RegisterClassA");
        return module;
    }();
    return instance;
}

} // namespace

HWND allocateMessageWindow(MessageWindowProc proc)
{
    const HINSTANCE module = registeredClass();
    const HWND window = CreateWindowExA(0, kMessageWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, module, nullptr);
    if (!window)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateWindowExA");
    auto *holder = new ProcHolder(std::make_shared<MessageWindowProc>(std::move(proc)));
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(holder));
    return window;
}

void deallocateMessageWindow(HWND window)
{
    if (!IsWindow(window))
        return;
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
        SendMessageA(window, kDestroyRequest, 0, 0);
        return;
    }
    ProcHolder *holder = holderOf(window);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    delete holder;
}

#endif
