// On Windows a COM name is the system's own: "\\.\COMn" opens it, and the device manager's
// DOS device names tell whether such a port exists.
#include "platform/ComNames.h"

#include <string>
#include <windows.h>

namespace {

std::string comName(int number)
{
    return "COM" + std::to_string(number);
}

} // namespace

std::string comDevicePath(std::string_view name)
{
    const int number = comPortNumber(name);
    return number == 0 ? std::string() : "\\\\.\\" + comName(number);
}

ComDeviceStatus comDeviceStatus(std::string_view name)
{
    ComDeviceStatus status;
    const int number = comPortNumber(name);
    if (number == 0)
        return status;
    status.name = comName(number);
    status.path = comDevicePath(name);
    char target[512];
    status.state = QueryDosDeviceA(status.name.c_str(), target, sizeof target) != 0
                       ? ComDeviceStatus::Present
                       : ComDeviceStatus::Missing;
    return status;
}
