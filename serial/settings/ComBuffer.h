// The device queue sizes a port asks for (TCustomComPort::Buffer), in bytes. A positive odd
// size is stored one less, so a positive size is always even. A write that changes a value
// asks the owning port, if any, to re-apply its queue sizes (ApplyQueueSizes).
// Used on the port's thread.
#pragma once

#include "framework/core/Persistent.h"

#include <cstdint>

class TCustomComPort;

class TComBuffer : public TPersistent
{
public:
    TComBuffer() = default;

    void BindToPort(TCustomComPort *port) { m_ownerPort = port; }
    TCustomComPort *OwnerPort() const { return m_ownerPort; }

    std::int32_t InputSize() const { return m_inputSize; }
    void setInputSize(std::int32_t value);
    std::int32_t OutputSize() const { return m_outputSize; }
    void setOutputSize(std::int32_t value);

    // Copies both sizes unchanged into another TComBuffer (no rounding, no notification).
    void AssignTo(TPersistent &dest) const override;
    std::string className() const override { return "TComBuffer"; }

private:
    void setSize(std::int32_t &size, std::int32_t value);

    TCustomComPort *m_ownerPort = nullptr;
    std::int32_t m_inputSize = 1024;
    std::int32_t m_outputSize = 1024;
};
