// The five device time-outs of a port (TCustomComPort::Timeouts), in milliseconds and in the
// order of the device's time-out record. A write that changes a value asks the owning port,
// if any, to re-apply its time-outs (ApplyCommTimeouts). Used on the port's thread.
#pragma once

#include "framework/core/Persistent.h"

#include <cstdint>

class TCustomComPort;

class TComTimeouts : public TPersistent
{
public:
    TComTimeouts() = default;

    // Records the port to notify; nothing else. A free-standing object notifies nobody.
    void BindToPort(TCustomComPort *port) { m_ownerPort = port; }
    TCustomComPort *OwnerPort() const { return m_ownerPort; }

    // -1 with zero read totals: a read returns at once with what has arrived.
    std::int32_t ReadInterval() const { return m_readInterval; }
    void setReadInterval(std::int32_t value);
    std::int32_t ReadTotalMultiplier() const { return m_readTotalMultiplier; }
    void setReadTotalMultiplier(std::int32_t value);
    std::int32_t ReadTotalConstant() const { return m_readTotalConstant; }
    void setReadTotalConstant(std::int32_t value);
    std::int32_t WriteTotalMultiplier() const { return m_writeTotalMultiplier; }
    void setWriteTotalMultiplier(std::int32_t value);
    std::int32_t WriteTotalConstant() const { return m_writeTotalConstant; }
    void setWriteTotalConstant(std::int32_t value);

    // Copies the five values into another TComTimeouts (not its owner link, no notification).
    void AssignTo(TPersistent &dest) const override;
    std::string className() const override { return "TComTimeouts"; }

private:
    void changed();

    TCustomComPort *m_ownerPort = nullptr;
    std::int32_t m_readInterval = -1;
    std::int32_t m_readTotalMultiplier = 0;
    std::int32_t m_readTotalConstant = 0;
    std::int32_t m_writeTotalMultiplier = 100;
    std::int32_t m_writeTotalConstant = 1000;
};
