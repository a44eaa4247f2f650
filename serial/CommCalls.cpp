#include "serial/CommCalls.h"

namespace {

BOOL systemWaitCommEvent(HANDLE device, LPDWORD mask, LPOVERLAPPED overlapped)
{
    return WaitCommEvent(device, mask, overlapped);
}

BOOL systemOverlappedResult(HANDLE device, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait)
{
    return GetOverlappedResult(device, overlapped, transferred, wait);
}

BOOL systemReadFile(HANDLE device, LPVOID buffer, DWORD count, LPDWORD read,
                    LPOVERLAPPED overlapped)
{
    return ReadFile(device, buffer, count, read, overlapped);
}

BOOL systemWriteFile(HANDLE device, LPCVOID buffer, DWORD count, LPDWORD written,
                     LPOVERLAPPED overlapped)
{
    return WriteFile(device, buffer, count, written, overlapped);
}

BOOL systemClearCommError(HANDLE device, LPDWORD errors, LPCOMSTAT status)
{
    return ClearCommError(device, errors, status);
}

BOOL systemPurgeComm(HANDLE device, DWORD flags)
{
    return PurgeComm(device, flags);
}

BOOL systemGetCommModemStatus(HANDLE device, LPDWORD status)
{
    return GetCommModemStatus(device, status);
}

BOOL systemEscapeCommFunction(HANDLE device, DWORD function)
{
    return EscapeCommFunction(device, function);
}

} // namespace

const CommCalls CommCalls::system = {
    systemWaitCommEvent, systemOverlappedResult,   systemReadFile,
    systemWriteFile,     systemOverlappedResult,   systemClearCommError,
    systemPurgeComm,     systemGetCommModemStatus, systemEscapeCommFunction};

CommCalls &commCalls()
{
    static CommCalls calls = CommCalls::system;
    return calls;
}
