// The device configurations a port's settings turn into: the device-control block
// (line speed, framing, parity, flow control, special characters) and the time-out block.
// Both are built from scratch from the port's values, never from the device's state, so
// they can be computed and checked while the port is closed. Pure functions, any thread.
#pragma once

#include "platform/win32.h"

class TCustomComPort;
class TComTimeouts;

// The DCB that ApplyCommState hands to SetCommState.
DCB buildCommState(const TCustomComPort &port);
// The time-out block that ApplyCommTimeouts hands to SetCommTimeouts; -1 becomes MAXDWORD.
COMMTIMEOUTS buildCommTimeouts(const TComTimeouts &timeouts);
