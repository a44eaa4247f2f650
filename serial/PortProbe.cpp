#include "serial/PortProbe.h"

#include "framework/core/Format.h"
#include "platform/ComNames.h"

PortProbe probePort(const std::string &name)
{
    const ComDeviceStatus device = comDeviceStatus(name);
    PortProbe probe{name, device.path, PortProbe::Present, ERROR_SUCCESS, {}, {}};
    if (device.remote)
        probe.remoteServer =
            formatText("%s port %u", device.remote->host.c_str(), device.remote->port);
    // Opened as the port opens it: Windows takes a plain "COMn" only for COM1 to COM9.
    const std::string path = "\\\\.\\" + name;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return probe;
    }
    probe.error = GetLastError();
    switch (device.state) {
    case ComDeviceStatus::NotMapped:
        probe.state = PortProbe::NotMapped;
        break;
    case ComDeviceStatus::Missing:
        probe.state = PortProbe::Missing;
        break;
    case ComDeviceStatus::NoPermission:
        probe.state = PortProbe::NotPermitted;
        break;
    case ComDeviceStatus::BadEntry:
        probe.state = PortProbe::BadEntry;
        probe.fault = device.mapDirectory + "/" + name + " " + device.fault;
        break;
    case ComDeviceStatus::Present:
        probe.state = probe.error == ERROR_ACCESS_DENIED || probe.error == ERROR_SHARING_VIOLATION
                          ? PortProbe::Busy
                          : PortProbe::Unavailable;
        break;
    }
    return probe;
}

std::vector<PortProbe> probePorts()
{
    std::vector<PortProbe> probes;
    for (int n = FirstProbedPort; n <= LastProbedPort; ++n)
        probes.push_back(probePort(formatText("COM%d", n)));
    for (const int n : listedComPorts()) {
        if (n > LastProbedPort) {
            const std::string name = formatText("COM%d", n);
            probes.push_back({name, comDevicePath(name), PortProbe::Listed, ERROR_SUCCESS, {}, {}});
        }
    }
    return probes;
}
