// The window timer on Qt: calls its onTimer slot every interval milliseconds while it is
// enabled, on the thread it lives on (the UI thread). It is enabled from its creation and runs
// while it is enabled and its interval is above 0. Enabling a running timer changes nothing
// (the running period goes on); a different interval restarts the period of an enabled timer
// and is only stored otherwise; the same interval changes nothing. The slot runs through the
// handler guard.
#pragma once

#include "framework/controls/Services.h"

#include <QObject>
#include <QTimer>

namespace qt {

class Timer : public QObject, public ::Timer
{
public:
    explicit Timer(QObject *parent = nullptr);

    bool enabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override;

    // Milliseconds; 1000 at creation.
    int interval() const override { return m_interval; }
    void setInterval(int interval) override;
    void startOnce(int milliseconds) override;

    // True while a period is counting (enabled with an interval above 0).
    bool isRunning() const { return m_timer.isActive(); }

private:
    void restart();
    void tick();

    QTimer m_timer;
    bool m_enabled = true;
    bool m_once = false;
    int m_interval = 1000;
};

} // namespace qt
