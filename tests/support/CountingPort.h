// A port without a device that counts the requests to apply its settings, which a real port
// would send to the device.
#pragma once

#include "serial/ComPort.h"

class CountingPort : public TComPort
{
public:
    int commState = 0;
    int commTimeouts = 0;
    int queueSizes = 0;

    void ApplyCommState() override { ++commState; }
    void ApplyCommTimeouts() override { ++commTimeouts; }
    void ApplyQueueSizes() override { ++queueSizes; }
};
