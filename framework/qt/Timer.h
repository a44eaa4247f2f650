// The window timer: calls its OnTimer handler every interval milliseconds while it is enabled,
// on the thread it lives on (the UI thread). It is enabled from its creation and runs while
// it is enabled and its interval is above 0. Enabling a running timer changes nothing (the
// running period goes on); a different interval restarts the period of an enabled timer and
// is only stored otherwise; the same interval changes nothing. The handler runs through the
// handler guard.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class Timer : public QObject
{
public:
    using Handler = std::function<void(Timer *sender)>;

    explicit Timer(QObject *parent = nullptr);

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // Milliseconds; 1000 at creation.
    int interval() const { return m_interval; }
    void setInterval(int interval);

    const Handler &onTimer() const { return m_onTimer; }
    void setOnTimer(Handler handler) { m_onTimer = std::move(handler); }

    // True while a period is counting (enabled with an interval above 0).
    bool isRunning() const { return m_timer.isActive(); }

private:
    void restart();
    void tick();

    QTimer m_timer;
    bool m_enabled = true;
    int m_interval = 1000;
    Handler m_onTimer;
};
