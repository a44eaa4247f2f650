// What the window uses that is not a control: the window timer, the error box and the
// save-file and open-file dialogs. The window makes timers (FormWindow::createTimer); each
// backend defines the free functions.
#pragma once

#include <functional>
#include <optional>
#include <string>

// Calls onTimer every interval milliseconds while enabled, on the UI thread, through the
// handler guard. Enabled from its creation, interval 1000. Enabling a running timer changes
// nothing; a different interval restarts the period of an enabled timer.
class Timer
{
public:
    virtual ~Timer() = default;
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual int interval() const = 0;
    virtual void setInterval(int interval) = 0;
    // One call of onTimer after the milliseconds (timed precisely), then disabled; a call
    // while one is due moves it.
    virtual void startOnce(int milliseconds) = 0;
    std::function<void(Timer *sender)> onTimer;
};

// Shows one message modally over the window (title: the program's name), the advice line
// under it when not empty; returns when the user closes it. Windows-1252 text.
void showErrorBox(const std::string &message, const std::string &advice = {});

// Asks for a file to write: title, suggested name, filter ("Text files (*.txt)"). The chosen
// path in the file system's 8-bit encoding, or nothing when cancelled.
std::optional<std::string> askSaveFileName(const std::string &title, const std::string &suggested,
                                           const std::string &filter);

// Asks for an existing file to read: title, filter as for askSaveFileName. The chosen path in
// the file system's 8-bit encoding, or nothing when cancelled.
std::optional<std::string> askOpenFileName(const std::string &title, const std::string &filter);
