// The window timer on SetTimer (a thread timer: any message loop of the UI thread serves it).
// Its resolution is the system's timer tick, about 15 ms, also for startOnce.
#pragma once

#include "framework/controls/Services.h"

#include <windows.h>

class Win32Timer : public Timer
{
public:
    Win32Timer();
    ~Win32Timer() override;

    bool enabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override;
    int interval() const override { return m_interval; }
    void setInterval(int interval) override;
    void startOnce(int milliseconds) override;

private:
    static void CALLBACK elapsed(HWND, UINT, UINT_PTR id, DWORD);
    void start(int milliseconds);
    void stop();

    bool m_enabled = false;
    bool m_once = false;
    int m_interval = 1000;
    UINT_PTR m_id = 0;
};
