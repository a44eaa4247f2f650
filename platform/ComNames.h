// Comm device names: "COMn" and "\\.\COMn" (n = 1..255, letters in any case) and the device
// path each stands for on this machine. Used by CreateFileA, by the window to show which
// device a name opens, and by the serial component to explain why opening a name failed. Callable
// from any thread; nothing is cached, so every call sees the present configuration and the devices
// plugged in now.
//
// A name resolves in this order:
//  1. When the environment variable ZEPHRA_PORTS is set (non-empty): the entry COMn in that
//     directory, and nothing else. An entry is a symbolic link to the device, or a file whose
//     first line is the device path (relative paths count from the directory).
//  2. The entry COMn in the user's port map, $XDG_CONFIG_HOME/zephra/ports/ (by default
//     ~/.config/zephra/ports/), in the same form.
//  3. The automatic assignment: the serial devices present get the lowest COM numbers that
//     the port map does not use, in this order: USB adapters /dev/ttyUSB0, 1, ..., then
//     ACM modems /dev/ttyACM0, 1, ..., then the UARTs /dev/ttyS0, 1, ... that really exist
//     (the kernel knows a UART type for them). Devices the port map already names are left
//     out. The assignment stays the same while the same devices stay plugged in.
// An entry whose first line is "rfc2217://HOST:PORT" names a port on another machine, served
// over the network (Telnet with the COM-PORT option); that text is then the name's path. Any
// first line of the form "SCHEME://..." is taken as such an address, never as a file name, so
// that one which cannot be right (no host, a port outside 1 to 65535, another scheme) is
// reported as what it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The highest COM number a name can carry.
constexpr int MaxComNumber = 255;

// The port number of a COM name (1..255), or 0 when the text is no COM name.
int comPortNumber(std::string_view name);

// The numbers of the COM ports the system itself lists as present, found without opening any
// (an open raises DTR, which resets many boards, and can wait long on a Bluetooth port); in
// ascending order, each once. On Windows the device map HKLM\HARDWARE\DEVICEMAP\SERIALCOMM,
// where each driver enters the name of each port it serves; elsewhere none, as every name is
// this program's own.
std::vector<int> listedComPorts();

// The device path a COM name resolves to, or empty when it resolves to nothing.
std::string comDevicePath(std::string_view name);

// The server of a port on another machine.
struct RemotePortAddress
{
    std::string host; // a name or an address; IPv6 addresses without their brackets
    unsigned port = 0;
};
// The address in a path "rfc2217://HOST:PORT" (HOST may be "[v6 address]"), or none when the
// path is no such text or its port is not 1..65535.
std::optional<RemotePortAddress> remotePortAddress(std::string_view path);
// Whether the path is written as a network address, "SCHEME://...", right or wrong.
bool isRemotePortText(std::string_view path);
// What is wrong with an address that remotePortAddress does not take, as the rest of a
// sentence about it ("names no host"); empty when it takes it.
std::string remotePortFault(std::string_view path);

// What stands behind a COM name now, as far as the file system tells without opening it.
struct ComDeviceStatus
{
    enum State {
        NotMapped,    // the name resolves to nothing (or is no COM name)
        Missing,      // it resolves to a path where nothing is
        NoPermission, // the device is there but this user may not read and write it
        Present,      // the device is there and may be opened, unless someone holds it
        BadEntry      // the name's entry is an address of a port on another machine that
                      // cannot be right (fault says why)
    };
    State state = NotMapped;
    std::string name;                        // "COMn", empty when the text is no COM name
    std::string path;                        // the device path; empty when NotMapped
    std::optional<RemotePortAddress> remote; // set for a port on another machine, which is
                                             // Present until opening it says otherwise
    std::string mapDirectory; // where the name is mapped: ZEPHRA_PORTS when set, else the
                              // user's port map (empty when there is no home directory)
    std::string fault;        // BadEntry: what is wrong with the address, as remotePortFault
};
ComDeviceStatus comDeviceStatus(std::string_view name);
