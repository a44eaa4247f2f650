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

EComPort EComPort::CreateWithSystemCode(std::int32_t errorCode, std::int32_t systemErrorCode)
{
    EComPort error(errorText(errorCode) + formatText(" (win error code: %d)", systemErrorCode),
                   systemErrorCode, errorCode);
    if (error.DeviceGone())
        error.setAdvice("The device is gone or no longer works: check that it is plugged in, "
                        "then open the port again.");
    return error;
}

bool EComPort::DeviceGone() const noexcept
{
    // The device stopped answering: unplugged, or its driver went away.
    return m_systemErrorCode == static_cast<std::int32_t>(ERROR_GEN_FAILURE);
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
