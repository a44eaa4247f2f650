// The system's comm calls on an open port's device, as the serial component makes them: one
// table of plain function pointers that holds the real calls. A test points entries at calls of
// its own to fail them on cue, as a removed adapter's driver does; nothing else changes it.
// Change it only while no port is open, or while the ports' threads cannot be inside a call.
#pragma once

#include "platform/win32.h"

struct CommCalls
{
    BOOL (*waitCommEvent)(HANDLE device, LPDWORD mask, LPOVERLAPPED overlapped);
    // GetOverlappedResult of the event thread's wait.
    BOOL (*waitResult)(HANDLE device, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
    BOOL(*readFile)
    (HANDLE device, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped);
    BOOL(*writeFile)
    (HANDLE device, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped);
    // GetOverlappedResult of a read or write.
    BOOL (*transferResult)(HANDLE device, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
    BOOL (*clearCommError)(HANDLE device, LPDWORD errors, LPCOMSTAT status);
    BOOL (*purgeComm)(HANDLE device, DWORD flags);
    BOOL (*getCommModemStatus)(HANDLE device, LPDWORD status);
    BOOL (*escapeCommFunction)(HANDLE device, DWORD function);

    // The real calls.
    static const CommCalls system;
};

// The table in use; starts as CommCalls::system.
CommCalls &commCalls();
