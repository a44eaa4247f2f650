// Handshake lines and XON/XOFF of a port (TCustomComPort::FlowControl), and the preset
// (FlowControl) that is computed from, and written into, ControlRTS, OutCTSFlow, XonXoffIn
// and XonXoffOut. A write that changes a value, and every preset write, asks the owning
// port, if any, to re-apply its line state (ApplyCommState). Used on the port's thread.
#pragma once

#include "framework/core/Persistent.h"
#include "serial/settings/ComTypes.h"

class TCustomComPort;

class TComFlowControl : public TPersistent
{
public:
    TComFlowControl() = default;

    void BindToPort(TCustomComPort *port) { m_ownerPort = port; }
    TCustomComPort *OwnerPort() const { return m_ownerPort; }

    bool OutCTSFlow() const { return m_outCTSFlow; }
    void setOutCTSFlow(bool value);
    bool OutDSRFlow() const { return m_outDSRFlow; }
    void setOutDSRFlow(bool value);
    TDTRFlowControl ControlDTR() const { return m_controlDTR; }
    void setControlDTR(TDTRFlowControl value);
    TRTSFlowControl ControlRTS() const { return m_controlRTS; }
    void setControlRTS(TRTSFlowControl value);
    bool XonXoffOut() const { return m_xonXoffOut; }
    void setXonXoffOut(bool value);
    bool XonXoffIn() const { return m_xonXoffIn; }
    void setXonXoffIn(bool value);
    bool DSRSensitivity() const { return m_dsrSensitivity; }
    void setDSRSensitivity(bool value);
    bool TxContinueOnXoff() const { return m_txContinueOnXoff; }
    void setTxContinueOnXoff(bool value);
    char XonChar() const { return m_xonChar; }
    void setXonChar(char value);
    char XoffChar() const { return m_xoffChar; }
    void setXoffChar(char value);

    // fcHardware, fcSoftware or fcNone when the four preset flags match one exactly,
    // otherwise fcCustom.
    TFlowControl FlowControl() const;
    // Sets the four preset flags (fcCustom leaves them) and re-applies the line state even
    // when nothing changed.
    void setFlowControl(TFlowControl value);

    // Copies the ten values into another TComFlowControl (not its owner link, no
    // notification).
    void AssignTo(TPersistent &dest) const override;
    std::string className() const override { return "TComFlowControl"; }

private:
    void changed();

    TCustomComPort *m_ownerPort = nullptr;
    bool m_outCTSFlow = false;
    bool m_outDSRFlow = false;
    TDTRFlowControl m_controlDTR = dtrDisable;
    TRTSFlowControl m_controlRTS = rtsDisable;
    bool m_xonXoffOut = false;
    bool m_xonXoffIn = false;
    bool m_dsrSensitivity = false;
    bool m_txContinueOnXoff = false;
    char m_xonChar = '\x11';  // DC1
    char m_xoffChar = '\x13'; // DC3
};
