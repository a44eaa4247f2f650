#include "framework/win32/Win32Timer.h"

#include "framework/core/HandlerGuard.h"

#include <map>

namespace {

// Thread timers are told apart by the id the system gives them. UI thread only.
std::map<UINT_PTR, Win32Timer *> &timers()
{
    static std::map<UINT_PTR, Win32Timer *> running;
    return running;
}

} // namespace

Win32Timer::Win32Timer()
{
    setEnabled(true);
}

Win32Timer::~Win32Timer()
{
    stop();
}

void Win32Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_once = false;
    m_enabled = enabled;
    if (enabled)
        start(m_interval);
    else
        stop();
}

void Win32Timer::setInterval(int interval)
{
    if (interval == m_interval)
        return;
    m_interval = interval;
    if (m_enabled && !m_once)
        start(m_interval);
}

void Win32Timer::startOnce(int milliseconds)
{
    m_enabled = true;
    m_once = true;
    start(milliseconds);
}

void Win32Timer::start(int milliseconds)
{
    stop();
    m_id = SetTimer(nullptr, 0, static_cast<UINT>(milliseconds > 0 ? milliseconds : 1), elapsed);
    if (m_id != 0)
        timers()[m_id] = this;
}

void Win32Timer::stop()
{
    if (m_id == 0)
        return;
    KillTimer(nullptr, m_id);
    timers().erase(m_id);
    m_id = 0;
}

void CALLBACK Win32Timer::elapsed(HWND, UINT, UINT_PTR id, DWORD)
{
    const auto found = timers().find(id);
    if (found == timers().end())
        return;
    Win32Timer *timer = found->second;
    if (timer->m_once) {
        timer->m_once = false;
        timer->m_enabled = false;
        timer->stop();
    }
    if (timer->onTimer)
        runGuarded([&] { timer->onTimer(timer); });
}
