// The automatic COM-number assignment behind comDevicePath, split out so that tests can run
// it over a made-up device tree: listing the machine's serial devices in assignment order,
// and numbering them around the numbers the port map takes. Pure apart from reading the two
// directories; any thread.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

struct SerialDeviceRoots
{
    std::string dev = "/dev";
    std::string sysClassTty = "/sys/class/tty";
};

// Serial device paths in assignment order: ttyUSB*, ttyACM*, then the ttyS* UARTs whose
// kernel UART type is known, each group by number.
std::vector<std::string> serialDevices(const SerialDeviceRoots &roots = {});

// COM number -> device: the devices, in order, take the lowest numbers not in taken.
std::map<int, std::string> assignComNumbers(const std::vector<std::string> &devices,
                                            const std::set<int> &taken);
