// The ports the program offers: "COM1" to "COM16", each tried as the port opens it
// (exclusively, for overlapped I/O, the name without the device prefix) and closed at once;
// beside them the higher ports the system lists (ComNames.h: on Windows, where adapters
// commonly get COM19 or COM27), taken from that list without opening them.
// The window fills its port lists from it and zephra-cli lists it. Any thread.
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

constexpr int FirstProbedPort = 1;
constexpr int LastProbedPort = 16;

struct PortProbe
{
    enum State {
        Present,      // it opened: free to use
        Busy,         // another opener holds it
        NotPermitted, // this user may not read and write the device
        Missing,      // the name leads to a path where nothing is
        NotMapped,    // the name leads nowhere
        Unavailable,  // it failed to open for another reason (error)
        Listed,       // the system lists it; not opened, so whether it is free is not known
        BadEntry      // its entry in the port map cannot be right (fault says why and where)
    };
    std::string name;       // "COMn"
    std::string devicePath; // what the name opens now; empty when it leads nowhere
    State state = NotMapped;
    DWORD error = ERROR_SUCCESS; // the open's error when it failed
    std::string remoteServer;    // "HOST port PORT" for a port on another machine, else empty
    std::string fault;           // BadEntry: "ENTRY-FILE names no host", and the like
};

// One name, probed now.
PortProbe probePort(const std::string &name);

// "COM1" to "COM16", then the listed ports above "COM16", in number order.
std::vector<PortProbe> probePorts();
