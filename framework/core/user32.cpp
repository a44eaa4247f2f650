#include "framework/core/user32.h"

#include "framework/core/Application.h"
#include "framework/core/UiCallQueue.h"

#include <map>
#include <memory>
#include <mutex>

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

#endif
