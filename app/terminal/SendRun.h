// The test tab's send side: the user's options and the run that goes on by itself, a file at
// the line's pace or the send line again and again. Held by the window, used on the UI thread.
#pragma once

#include "terminal/SendPacer.h"
#include "terminal/SendText.h"

#include <chrono>
#include <optional>
#include <string>

struct SendRun
{
    // The options, as the menus of the send line and the send box choose them.
    terminal::LineEnd lineEnd = terminal::LineEnd::None;
    bool escapes = false;
    int lineDelayMs = 0;
    int repeatEveryMs = 1000;
    int repeatTimes = 0; // 0: until stopped

    enum class Kind { None, File, Repeat };
    Kind kind = Kind::None;
    // A file: its name as shown, its bytes and their pace.
    std::string name;
    std::string bytes;
    std::optional<terminal::SendPacer> pacer;
    // A repeat: the copies written and when the first went.
    int copies = 0;
    std::chrono::steady_clock::time_point start;

    // The defaults: what the tab sends as it always did.
    bool plain() const { return lineEnd == terminal::LineEnd::None && !escapes; }
};
