#include "framework/qt/Timer.h"

#include <algorithm>

#include "framework/core/HandlerGuard.h"

namespace qt {

Timer::Timer(QObject *parent) : QObject(parent)
{
    // Precise: a 1 ms interval must mean the next tick, not a coarse slot up to 5% later.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::tick);
    restart();
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void Timer::setInterval(int interval)
{
    if (interval == m_interval)
        return;
    m_interval = interval;
    restart();
}

void Timer::startOnce(int milliseconds)
{
    m_enabled = true;
    m_once = true;
    m_timer.start(std::max(milliseconds, 0));
}

void Timer::restart()
{
    m_once = false;
    m_timer.stop();
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
}

void Timer::tick()
{
    if (m_once) {
        m_once = false;
        m_enabled = false;
        m_timer.stop();
    }
    // A copy: the slot may replace itself or destroy the timer.
    const std::function<void(::Timer *)> handler = onTimer;
    if (handler)
        runGuarded([&] { handler(this); });
}

} // namespace qt
