// A comm port opened by COM name through the layer under test, on a real driver in the guest,
// with the settings the driver tests start from: 8N1, no flow control, DTR and RTS on,
// no time-outs. Closed on destruction. Used from one test thread.
#pragma once

#include "platform/win32.h"

#include <gtest/gtest.h>

#include <string>

class DriverPort
{
public:
    explicit DriverPort(const std::string &comName, DWORD speed = 9600, DWORD flags = 0)
    {
        m_handle = CreateFileA(comName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, flags, nullptr);
        if (m_handle == INVALID_HANDLE_VALUE) {
            m_error = GetLastError();
            return;
        }
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(m_handle, &dcb);
        dcb.BaudRate = speed;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        EXPECT_TRUE(SetCommState(m_handle, &dcb)) << GetLastError();
        COMMTIMEOUTS none{};
        SetCommTimeouts(m_handle, &none);
    }
    ~DriverPort()
    {
        if (isOpen())
            CloseHandle(m_handle);
    }
    DriverPort(const DriverPort &) = delete;
    DriverPort &operator=(const DriverPort &) = delete;

    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    DWORD openError() const { return m_error; }
    HANDLE handle() const { return m_handle; }

    void setWriteTimeouts(DWORD multiplier, DWORD constant)
    {
        COMMTIMEOUTS t{};
        t.WriteTotalTimeoutMultiplier = multiplier;
        t.WriteTotalTimeoutConstant = constant;
        ASSERT_TRUE(SetCommTimeouts(m_handle, &t));
    }
    // Reads until count bytes came or the read time-out (total, in ms) ran out.
    std::string read(DWORD count, DWORD timeoutMs)
    {
        COMMTIMEOUTS t{};
        t.ReadTotalTimeoutConstant = timeoutMs;
        SetCommTimeouts(m_handle, &t);
        std::string bytes(count, '\0');
        DWORD done = 0;
        EXPECT_TRUE(ReadFile(m_handle, bytes.data(), count, &done, nullptr)) << GetLastError();
        bytes.resize(done);
        return bytes;
    }
    // Reads on an overlapped handle what comes within ms, up to count bytes; with a gap, as
    // soon as no byte came for that long after one did.
    std::string readOverlapped(DWORD count, DWORD ms, DWORD gapMs = 0)
    {
        COMMTIMEOUTS t{};
        t.ReadTotalTimeoutConstant = ms;
        t.ReadIntervalTimeout = gapMs;
        SetCommTimeouts(m_handle, &t);
        std::string bytes(count, '\0');
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD done = 0;
        if (!ReadFile(m_handle, bytes.data(), count, &done, &ov) &&
            GetLastError() == ERROR_IO_PENDING)
            GetOverlappedResult(m_handle, &ov, &done, TRUE);
        CloseHandle(ov.hEvent);
        bytes.resize(done);
        return bytes;
    }
    // Writes and gives the count the layer reported.
    DWORD write(const std::string &bytes)
    {
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(m_handle, bytes.data(), DWORD(bytes.size()), &done, nullptr))
            << GetLastError();
        return done;
    }
    DCB state()
    {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(m_handle, &dcb);
        return dcb;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_error = 0;
};

// Bytes that show any corruption: every value, in an order that is not periodic.
inline std::string patternBytes(std::size_t count)
{
    std::string bytes(count, '\0');
    std::uint32_t x = 12345;
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    return bytes;
}
