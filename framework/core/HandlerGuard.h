// The one guard every handler goes through when a control, a timer, a synchronize call, a
// message window or a thread runs it: no exception ever leaves it (none may cross the toolkit's
// event loop). What it catches goes to Application::routeException: inside a running
// ProcessMessages it is re-thrown out of that ProcessMessages after the dispatch, at the
// outermost level it is reported with HandleException, and from another thread it is handed
// to the UI thread. Callable on any thread.
#pragma once

#include "framework/core/Application.h"

#include <exception>
#include <utility>

// Runs handler(); true when it returned normally, false when it threw.
template<class Handler> bool runGuarded(Handler &&handler) noexcept
{
    std::exception_ptr error;
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (...) {
        error = std::current_exception();
    }
    // Routed once the catch block has ended: this thread then holds no share of the exception
    // object, and the thread that reports it frees it, after reading it, in its own time.
    Application::instance().routeException(std::move(error));
    return false;
}

// Wraps a handler for a toolkit's event connection: the returned callable takes the event's
// arguments and runs the handler with them through the guard.
template<class Handler> auto guarded(Handler handler)
{
    return [handler = std::move(handler)](auto &&...args) {
        runGuarded([&] { handler(std::forward<decltype(args)>(args)...); });
    };
}
