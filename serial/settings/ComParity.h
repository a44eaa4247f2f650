// Parity mode and parity-error handling of a port (TCustomComPort::Parity). Replace only
// takes effect together with Check. A write that changes a value asks the owning port, if
// any, to re-apply its line state (ApplyCommState). Used on the port's thread.
#pragma once

#include "framework/core/Persistent.h"
#include "serial/settings/ComTypes.h"

class TCustomComPort;

class TComParity : public TPersistent
{
public:
    TComParity() = default;

    void BindToPort(TCustomComPort *port) { m_ownerPort = port; }
    TCustomComPort *OwnerPort() const { return m_ownerPort; }

    TParityBits Bits() const { return m_bits; }
    void setBits(TParityBits value);
    bool Check() const { return m_check; }
    void setCheck(bool value);
    bool Replace() const { return m_replace; }
    void setReplace(bool value);
    char ReplaceChar() const { return m_replaceChar; }
    void setReplaceChar(char value);

    // Copies the four values into another TComParity (not its owner link, no notification).
    void AssignTo(TPersistent &dest) const override;
    std::string className() const override { return "TComParity"; }

private:
    void changed();

    TCustomComPort *m_ownerPort = nullptr;
    TParityBits m_bits = prNone;
    bool m_check = false;
    bool m_replace = false;
    char m_replaceChar = '\0';
};
