// Small helpers shared by the comm tests: an OVERLAPPED with its own event, opening a COM
// name the way the serial component does, and waiting for a condition with a time limit.
#pragma once

#include "platform/win32.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>

struct Pending
{
    OVERLAPPED ov{};
    Pending() { ov.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr); }
    ~Pending() { CloseHandle(ov.hEvent); }
    bool signalled(DWORD ms = 0) const
    {
        return WaitForSingleObject(ov.hEvent, ms) == WAIT_OBJECT_0;
    }
};

// The input queue a port keeps whatever smaller size SetupComm asks for, as documented.
constexpr std::size_t PromisedInputQueue = 512 * 1024;

inline HANDLE openPort(const std::string &name, DWORD flags = FILE_FLAG_OVERLAPPED)
{
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags,
                       nullptr);
}

// The line the utility sets up: 9600 8N1, no flow control, DTR and RTS off.
inline DCB plainDcb(DWORD baud = 9600)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baud;
    dcb.fBinary = 1;
    dcb.XonLim = 256;
    dcb.XoffLim = 256;
    dcb.ByteSize = 8;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

inline void setTimeouts(HANDLE port, DWORD interval, DWORD multiplier, DWORD constant,
                        DWORD writeMultiplier = 0, DWORD writeConstant = 0)
{
    COMMTIMEOUTS timeouts{interval, multiplier, constant, writeMultiplier, writeConstant};
    SetCommTimeouts(port, &timeouts);
}

inline long long millisSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

inline bool eventually(const std::function<bool()> &condition,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(3000))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline DWORD queuedInput(HANDLE port)
{
    COMSTAT stat{};
    DWORD errors = 0;
    return ClearCommError(port, &errors, &stat) ? stat.cbInQue : 0;
}
