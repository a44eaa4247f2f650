#include "serial/PortDevice.h"

#include "framework/core/Format.h"
#include "platform/win32types.h"

std::string portDevicePath(const std::string &port)
{
    return comDevicePath(port);
}

namespace {

std::string busyAdvice()
{
    return "Another program is using the port: close the port there, then try again.";
}

#ifdef _WIN32

// Windows names its ports itself: the user finds the number in Device Manager.
std::string notFoundAdvice(const ComDeviceStatus &device)
{
    const std::string name = device.name.empty() ? std::string("COMn") : device.name;
    return formatText("This computer has no port %s: look up the adapter's COM number in "
                      "Device Manager (under \"Ports (COM & LPT)\"), or plug the adapter in.",
                      name.c_str());
}

std::string permissionAdvice(const ComDeviceStatus &)
{
    return busyAdvice();
}

// Ports on other machines are reached through the system's own drivers here.
std::string notSupportedAdvice(const ComDeviceStatus &)
{
    return {};
}

std::string badNameAdvice(const ComDeviceStatus &)
{
    return {};
}

std::string badNetPathAdvice(const ComDeviceStatus &)
{
    return {};
}

#else

std::string permissionAdvice(const ComDeviceStatus &device)
{
    return formatText("You may not use %s: add your user to the dialout group "
                      "(sudo usermod -aG dialout $USER), then log out and in again.",
                      device.path.c_str());
}

// Where the user fixes a name: its entry in the directory that maps names.
std::string mapEntry(const ComDeviceStatus &device)
{
    const std::string name = device.name.empty() ? std::string("COMn") : device.name;
    if (device.mapDirectory.empty())
        return name + " in the port map directory";
    return device.mapDirectory + "/" + name;
}

std::string notFoundAdvice(const ComDeviceStatus &device)
{
    if (device.remote)
        return formatText("No serial port server answers at %s port %u: check that it runs and "
                          "serves that port and that this machine reaches it, or correct %s.",
                          device.remote->host.c_str(), device.remote->port,
                          mapEntry(device).c_str());
    if (device.state == ComDeviceStatus::NotMapped)
        return formatText("No device is mapped to this name: make %s a link to the device "
                          "(for example /dev/ttyUSB0).",
                          mapEntry(device).c_str());
    return formatText("The device %s is missing or unplugged: plug it in, or correct %s.",
                      device.path.c_str(), mapEntry(device).c_str());
}

std::string notSupportedAdvice(const ComDeviceStatus &device)
{
    if (!device.remote)
        return {};
    return formatText("The server at %s port %u does not offer RFC 2217 (the Telnet "
                      "COM-PORT option): serve the port with telnet(rfc2217) in its "
                      "accepter, or correct %s.",
                      device.remote->host.c_str(), device.remote->port, mapEntry(device).c_str());
}

// An address in the port map that cannot be right: what is wrong, and where.
std::string badNameAdvice(const ComDeviceStatus &device)
{
    if (device.state != ComDeviceStatus::BadEntry)
        return {};
    return formatText("The port map entry %s reads \"%s\", which %s: write "
                      "rfc2217://HOST:PORT there, with a port from 1 to 65535.",
                      mapEntry(device).c_str(), device.path.c_str(), device.fault.c_str());
}

std::string badNetPathAdvice(const ComDeviceStatus &device)
{
    if (!device.remote)
        return {};
    return formatText("The host name %s does not resolve to an address: check the name and "
                      "this machine's name service (DNS, /etc/hosts), or correct %s.",
                      device.remote->host.c_str(), mapEntry(device).c_str());
}

#endif

} // namespace

std::string openFailureAdvice(std::int32_t systemErrorCode, const ComDeviceStatus &device)
{
    switch (systemErrorCode) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return notFoundAdvice(device);
    case ERROR_ACCESS_DENIED:
        // The same code stands for a device held by another opener; only the file's
        // permissions tell the two apart.
        return device.state == ComDeviceStatus::NoPermission ? permissionAdvice(device)
                                                             : busyAdvice();
    case ERROR_SHARING_VIOLATION:
        return busyAdvice();
    case ERROR_NOT_SUPPORTED:
        return notSupportedAdvice(device);
    case ERROR_INVALID_NAME:
        return badNameAdvice(device);
    case ERROR_BAD_NETPATH:
        return badNetPathAdvice(device);
    default:
        return {};
    }
}

std::string openFailureAdvice(std::int32_t systemErrorCode, const std::string &port)
{
    return openFailureAdvice(systemErrorCode, comDeviceStatus(port));
}
