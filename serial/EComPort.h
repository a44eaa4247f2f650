// The one exception of the serial port component. It carries which operation failed (the
// component code, 1 to 23, with a fixed text) and, where a system call failed, the system
// error code taken right after that call; -1 when there is none. Raised on whichever thread
// ran the failing operation.
#pragma once

#include "framework/core/Exception.h"

#include <cstdint>
#include <string>

class EComPort : public Exception
{
public:
    // Component codes; the message text of each is errorText(code).
    enum Code : std::int32_t {
        OpenFailed = 1,          // "Unable to open com port"
        WriteFailed = 2,         // "WriteFile function failed"
        ReadFailed = 3,          // "ReadFile function failed"
        InvalidAsyncParam = 4,   // "Invalid Async parameter"
        PurgeFailed = 5,         // "PurgeComm function failed"
        AsyncStatusFailed = 6,   // "Unable to get async status"
        SetStateFailed = 7,      // "SetCommState function failed"
        SetTimeoutsFailed = 8,   // "SetCommTimeouts failed"
        SetupCommFailed = 9,     // "SetupComm function failed"
        ClearErrorFailed = 10,   // "ClearCommError function failed"
        ModemStatusFailed = 11,  // "GetCommModemStatus function failed"
        EscapeFailed = 12,       // "EscapeCommFunction function failed"
        TransmitCharFailed = 13, // "TransmitCommChar function failed"
        SetWhileConnected = 14,  // "Cannot set property while connected"
        EnumPortsFailed = 15,    // "EnumPorts function failed"
        StoreFailed = 16,        // "Failed to store settings"
        LoadFailed = 17,         // "Failed to load settings"
        LinkFailed = 18,         // "Link (un)registration failed"
        LedStateFailed = 19,     // "Cannot change led state if ComPort is selected"
        ThreadCreated = 20,      // "Cannot wait for event if event thread is created"
        WaitFailed = 21,         // "WaitForEvent method failed"
        RxBufLinked = 22,        // "A component is linked to OnRxBuf event"
        RegistryError = 23       // "Registry error"
    };

    // Message: the code's text, then " (win error code: <systemErrorCode>)".
    static EComPort CreateWithSystemCode(std::int32_t errorCode, std::int32_t systemErrorCode);
    // Message: the code's text alone; SystemErrorCode is -1.
    static EComPort CreateWithoutSystemCode(std::int32_t errorCode);
    // As CreateWithSystemCode, for an operation on a port that was open: the codes with which
    // drivers fail the calls of a device that went away count as DeviceGone too.
    static EComPort CreateForOpenPort(std::int32_t errorCode, std::int32_t systemErrorCode);
    // Whether a system code from an operation on an open port says that its device went away:
    // 31 everywhere; 5, 6, 21, 22, 1167 and 1617 (removed USB adapters' drivers, a vanished
    // pseudo-terminal under Wine); 995 only for the wait, which a removed device ends with it
    // (a read or write gets it from the port's own abort as well).
    static bool lostDeviceCode(std::int32_t errorCode, std::int32_t systemErrorCode) noexcept;

    std::int32_t ErrorCode() const noexcept { return m_errorCode; }
    std::int32_t SystemErrorCode() const noexcept { return m_systemErrorCode; }
    // The system said the device is gone or no longer works (unplugged, driver gone).
    bool DeviceGone() const noexcept { return m_deviceGone; }

    // The fixed text of a component code; empty for a number outside 1 to 23.
    static std::string errorText(std::int32_t errorCode);

private:
    EComPort(std::string message, std::int32_t systemErrorCode, std::int32_t errorCode);
    static EComPort withSystemCode(std::int32_t errorCode, std::int32_t systemErrorCode,
                                   bool deviceGone);

    std::int32_t m_systemErrorCode;
    std::int32_t m_errorCode;
    bool m_deviceGone = false;
};
