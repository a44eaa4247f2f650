// Stands in for the serial component's comm calls (serial/CommCalls.h) while it lives, for the
// modem lines a pseudo-terminal lacks: GetCommModemStatus answers `lines`, raise() ends the
// pending wait with the events given, and the outputs the port switches are recorded, then
// passed on to the system.
#pragma once

#include "serial/CommCalls.h"

#include <atomic>

struct ModemLines
{
    static inline std::atomic<DWORD> lines{0}, raised{0};
    static inline std::atomic<bool> dtr{false}, rts{false}, breakOn{false};
    static inline std::atomic<int> breaks{0};
    static inline std::atomic<LPDWORD> waitMask{nullptr};

    ModemLines()
    {
        CommCalls calls = CommCalls::system;
        calls.waitCommEvent = [](HANDLE device, LPDWORD mask, LPOVERLAPPED overlapped) {
            waitMask = mask;
            const BOOL ended = CommCalls::system.waitCommEvent(device, mask, overlapped);
            const DWORD error = GetLastError();
            if (!ended && raised != 0) // raised before this wait began
                endWait(device);
            SetLastError(error);
            return ended;
        };
        calls.waitResult = [](HANDLE device, LPOVERLAPPED overlapped, LPDWORD n, BOOL wait) {
            const BOOL ended = CommCalls::system.waitResult(device, overlapped, n, wait);
            if (ended)
                *waitMask.load() |= raised.exchange(0);
            return ended;
        };
        calls.getCommModemStatus = [](HANDLE, LPDWORD status) { return *status = lines, TRUE; };
        calls.escapeCommFunction = [](HANDLE device, DWORD function) {
            if (!CommCalls::system.escapeCommFunction(device, function))
                return FALSE;
            const bool on = function == SETDTR || function == SETRTS || function == SETBREAK;
            auto &line = function == SETDTR || function == CLRDTR   ? dtr
                         : function == SETRTS || function == CLRRTS ? rts
                                                                    : breakOn;
            line = on;
            breaks += function == SETBREAK;
            return TRUE;
        };
        commCalls() = calls;
    }
    ~ModemLines() { commCalls() = CommCalls::system; }

    static void raise(HANDLE device, DWORD events)
    {
        raised |= events;
        endWait(device);
    }
    // A new mask ends the pending wait.
    static void endWait(HANDLE device)
    {
        DWORD mask = 0;
        GetCommMask(device, &mask);
        SetCommMask(device, mask);
    }
};
