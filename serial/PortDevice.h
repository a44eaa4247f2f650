// What stands behind a port name on this machine, for the people in front of it: the device
// path a name opens (the window shows it beside the name) and one line of advice when opening
// a name failed (the port attaches it to its EComPort). Any thread.
#pragma once

#include "platform/ComNames.h"

#include <cstdint>
#include <string>

// The device path the port name opens now; empty when it leads nowhere.
std::string portDevicePath(const std::string &port);

// One sentence on what the user can do after opening the device failed with the system error
// code, given what stands behind the name; empty when there is nothing useful to say.
std::string openFailureAdvice(std::int32_t systemErrorCode, const ComDeviceStatus &device);

// The same, looking at what stands behind the port name now.
std::string openFailureAdvice(std::int32_t systemErrorCode, const std::string &port);
