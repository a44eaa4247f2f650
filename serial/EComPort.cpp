#include "serial/EComPort.h"

#include "framework/core/Format.h"
#include "platform/win32.h"

#include <iterator>
#include <utility>

namespace {

// Entry n-1 is the text of code n.
constexpr const char *errorTexts[] = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

} // namespace

EComPort::EComPort(std::string message, std::int32_t systemErrorCode, std::int32_t errorCode)
    : Exception(std::move(message)), m_systemErrorCode(systemErrorCode), m_errorCode(errorCode)
{}

EComPort EComPort::withSystemCode(std::int32_t errorCode, std::int32_t systemErrorCode,
                                  bool deviceGone)
{
    EComPort error(errorText(errorCode) + formatText(" (win error code: %d)", systemErrorCode),
                   systemErrorCode, errorCode);
    error.m_deviceGone = deviceGone;
    if (deviceGone)
        error.setAdvice("The device is gone or no longer works: check that it is plugged in, "
                        "then open the port again.");
    return error;
}

EComPort EComPort::CreateWithSystemCode(std::int32_t errorCode, std::int32_t systemErrorCode)
{
    // The device stopped answering: unplugged, or its driver went away.
    return withSystemCode(errorCode, systemErrorCode,
                          systemErrorCode == static_cast<std::int32_t>(ERROR_GEN_FAILURE));
}

EComPort EComPort::CreateForOpenPort(std::int32_t errorCode, std::int32_t systemErrorCode)
{
    return withSystemCode(errorCode, systemErrorCode, lostDeviceCode(errorCode, systemErrorCode));
}

bool EComPort::lostDeviceCode(std::int32_t errorCode, std::int32_t systemErrorCode) noexcept
{
    switch (systemErrorCode) {
    case 5:    // ERROR_ACCESS_DENIED
    case 6:    // ERROR_INVALID_HANDLE: the driver invalidated the handle
    case 21:   // ERROR_NOT_READY
    case 22:   // ERROR_BAD_COMMAND
    case 31:   // ERROR_GEN_FAILURE
    case 1167: // ERROR_DEVICE_NOT_CONNECTED
    case 1617: // ERROR_DEVICE_REMOVED
        return errorCode != OpenFailed;
    case 995: // ERROR_OPERATION_ABORTED
        return errorCode == WaitFailed;
    default:
        return false;
    }
}

EComPort EComPort::CreateWithoutSystemCode(std::int32_t errorCode)
{
    return EComPort(errorText(errorCode), -1, errorCode);
}

std::string EComPort::errorText(std::int32_t errorCode)
{
    if (errorCode < 1 || errorCode > static_cast<std::int32_t>(std::size(errorTexts)))
        return {};
    return errorTexts[errorCode - 1];
}
