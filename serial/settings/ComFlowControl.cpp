#include "serial/settings/ComFlowControl.h"

#include "serial/ComPort.h"
#include "serial/settings/StoreIfChanged.h"

void TComFlowControl::setOutCTSFlow(bool value)
{
    if (storeIfChanged(m_outCTSFlow, value))
        changed();
}

void TComFlowControl::setOutDSRFlow(bool value)
{
    if (storeIfChanged(m_outDSRFlow, value))
        changed();
}

void TComFlowControl::setControlDTR(TDTRFlowControl value)
{
    if (storeIfChanged(m_controlDTR, value))
        changed();
}

void TComFlowControl::setControlRTS(TRTSFlowControl value)
{
    if (storeIfChanged(m_controlRTS, value))
        changed();
}

void TComFlowControl::setXonXoffOut(bool value)
{
    if (storeIfChanged(m_xonXoffOut, value))
        changed();
}

void TComFlowControl::setXonXoffIn(bool value)
{
    if (storeIfChanged(m_xonXoffIn, value))
        changed();
}

void TComFlowControl::setDSRSensitivity(bool value)
{
    if (storeIfChanged(m_dsrSensitivity, value))
        changed();
}

void TComFlowControl::setTxContinueOnXoff(bool value)
{
    if (storeIfChanged(m_txContinueOnXoff, value))
        changed();
}

void TComFlowControl::setXonChar(char value)
{
    if (storeIfChanged(m_xonChar, value))
        changed();
}

void TComFlowControl::setXoffChar(char value)
{
    if (storeIfChanged(m_xoffChar, value))
        changed();
}

TFlowControl TComFlowControl::FlowControl() const
{
    if (m_controlRTS == rtsHandshake && m_outCTSFlow && !m_xonXoffIn && !m_xonXoffOut)
        return fcHardware;
    if (m_controlRTS == rtsDisable && !m_outCTSFlow && m_xonXoffIn && m_xonXoffOut)
        return fcSoftware;
    if (m_controlRTS == rtsDisable && !m_outCTSFlow && !m_xonXoffIn && !m_xonXoffOut)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::setFlowControl(TFlowControl value)
{
    // The fields are written directly so that the whole preset costs one re-apply.
    if (value != fcCustom) {
        m_controlRTS = rtsDisable;
        m_outCTSFlow = false;
        m_xonXoffIn = false;
        m_xonXoffOut = false;
        if (value == fcHardware) {
            m_controlRTS = rtsHandshake;
            m_outCTSFlow = true;
        } else if (value == fcSoftware) {
            m_xonXoffIn = true;
            m_xonXoffOut = true;
        }
    }
    changed();
}

void TComFlowControl::AssignTo(TPersistent &dest) const
{
    auto *flow = dynamic_cast<TComFlowControl *>(&dest);
    if (flow == nullptr) {
        TPersistent::AssignTo(dest);
        return;
    }
    flow->m_outCTSFlow = m_outCTSFlow;
    flow->m_outDSRFlow = m_outDSRFlow;
    flow->m_controlDTR = m_controlDTR;
    flow->m_controlRTS = m_controlRTS;
    flow->m_xonXoffOut = m_xonXoffOut;
    flow->m_xonXoffIn = m_xonXoffIn;
    flow->m_dsrSensitivity = m_dsrSensitivity;
    flow->m_txContinueOnXoff = m_txContinueOnXoff;
    flow->m_xonChar = m_xonChar;
    flow->m_xoffChar = m_xoffChar;
}

void TComFlowControl::changed()
{
    if (m_ownerPort != nullptr)
        m_ownerPort->ApplyCommState();
}
