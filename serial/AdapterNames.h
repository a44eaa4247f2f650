// Which physical adapter stands behind a port, by the stable names the system gives serial
// adapters: <dir>/by-path (the socket the adapter is plugged into) and <dir>/by-id (maker,
// model, serial number), where <dir> is /dev/serial, or ZEPHRA_SERIAL_DIR when that is set (tests
// let pseudo-terminals play adapters there). A ttyUSB number may change when an adapter is
// plugged in again, and COM names assigned automatically follow the numbers; the by-path name
// stays, so a bench slot, or the test tab waiting for a lost device, finds its own adapter again
// by it. Any thread.
#pragma once

#include <string>

struct AdapterNames
{
    std::string device; // the device path the port opens now, links resolved; empty if none
    std::string byPath; // the by-path link that leads to it, empty when there is none
    std::string byId;   // the by-id link, likewise
};

// The names of what a COM name leads to now.
AdapterNames adapterNames(const std::string &comName);

// The COM name (COM1..COM255) that leads now to the device the by-path link points at; empty
// when the link leads nowhere (the adapter is away) or no COM name leads there.
std::string comNameFor(const std::string &byPath);
