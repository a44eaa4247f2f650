// The serial port component: TCustomComPort holds a line's settings and owns the four
// settings objects (Parity, FlowControl, Timeouts, Buffer), which call back into it through
// ApplyCommState, ApplyCommTimeouts and ApplyQueueSizes when one of their values changes.
// TComPort is the form-stored variant. Created, changed and destroyed on the user-interface
// thread.
#pragma once

#include "framework/core/Component.h"
#include "serial/settings/ComBuffer.h"
#include "serial/settings/ComFlowControl.h"
#include "serial/settings/ComParity.h"
#include "serial/settings/ComTimeouts.h"

#include <memory>

class TCustomComPort : public Component
{
public:
    // Creates the settings objects, each bound to this port: Parity, FlowControl, Timeouts,
    // Buffer.
    explicit TCustomComPort(Component *owner = nullptr);
    // Frees Buffer, FlowControl, Timeouts, Parity, in that order.
    ~TCustomComPort() override;

    // The owned settings objects, for reading and for changing single values. The setters
    // copy the given object's values into the owned one (which keeps its owner link) and
    // then re-apply that group once.
    TComParity &Parity() { return *m_parity; }
    const TComParity &Parity() const { return *m_parity; }
    void setParity(const TComParity &value);

    TComFlowControl &FlowControl() { return *m_flowControl; }
    const TComFlowControl &FlowControl() const { return *m_flowControl; }
    void setFlowControl(const TComFlowControl &value);

    TComTimeouts &Timeouts() { return *m_timeouts; }
    const TComTimeouts &Timeouts() const { return *m_timeouts; }
    void setTimeouts(const TComTimeouts &value);

    TComBuffer &Buffer() { return *m_buffer; }
    const TComBuffer &Buffer() const { return *m_buffer; }
    void setBuffer(const TComBuffer &value);

    // Push one group of settings to the open device: line state (speed, framing, parity,
    // flow control), time-outs, queue sizes. No device exists yet, so they do nothing.
    virtual void ApplyCommState();
    virtual void ApplyCommTimeouts();
    virtual void ApplyQueueSizes();

private:
    // Line settings and device state come before the settings objects; SyncMethod,
    // SavedGroups and the event slots follow them.
    std::unique_ptr<TComBuffer> m_buffer;
    std::unique_ptr<TComParity> m_parity;
    std::unique_ptr<TComTimeouts> m_timeouts;
    std::unique_ptr<TComFlowControl> m_flowControl;
};

class TComPort : public TCustomComPort
{
public:
    using TCustomComPort::TCustomComPort;
};
