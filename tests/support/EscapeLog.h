// Stands in for the serial component's EscapeCommFunction while it lives: records each function
// asked for as one digit (SETRTS 3, CLRRTS 4, SETDTR 5, CLRDTR 6, SETBREAK 8, CLRBREAK 9), then
// passes it on to the system. UI thread only.
#pragma once

#include "serial/CommCalls.h"

#include <string>

struct EscapeLog
{
    static inline std::string codes;
    EscapeLog()
    {
        codes.clear();
        commCalls().escapeCommFunction = [](HANDLE device, DWORD function) {
            codes += char('0' + function);
            return CommCalls::system.escapeCommFunction(device, function);
        };
    }
    ~EscapeLog() { commCalls() = CommCalls::system; }
};
