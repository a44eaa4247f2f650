// The port's side of event delivery: triggers, reactions and the message window procedure.

#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include "framework/core/HandlerGuard.h"
#include "framework/core/user32.h"

void TCustomComPort::FireAfterClose()
{
    if (OnAfterClose)
        OnAfterClose(this);
}

void TCustomComPort::FireAfterOpen()
{
    if (OnAfterOpen)
        OnAfterOpen(this);
}

void TCustomComPort::FireBeforeClose()
{
    if (OnBeforeClose)
        OnBeforeClose(this);
}

void TCustomComPort::FireBeforeOpen()
{
    if (OnBeforeOpen)
        OnBeforeOpen(this);
}

void TCustomComPort::FireRxChar(std::int32_t count)
{
    if (OnRxChar)
        OnRxChar(this, count);
}

void TCustomComPort::FireRxBuf(const void *buffer, std::int32_t count)
{
    if (OnRxBuf)
        OnRxBuf(this, buffer, count);
}

void TCustomComPort::FireTxEmpty()
{
    if (OnTxEmpty)
        OnTxEmpty(this);
}

void TCustomComPort::FireBreak()
{
    if (OnBreak)
        OnBreak(this);
}

void TCustomComPort::FireRing()
{
    if (OnRing)
        OnRing(this);
    fireLine(lsRing, true);
}

void TCustomComPort::FireRxFlag()
{
    if (OnRxFlag)
        OnRxFlag(this);
}

void TCustomComPort::FireCTSChange(bool onOff)
{
    if (OnCTSChange)
        OnCTSChange(this, onOff);
    fireLine(lsCTS, onOff);
}

void TCustomComPort::FireDSRChange(bool onOff)
{
    if (OnDSRChange)
        OnDSRChange(this, onOff);
    fireLine(lsDSR, onOff);
}

void TCustomComPort::FireError(TComErrors errors)
{
    if (OnError)
        OnError(this, errors);
}

void TCustomComPort::FireRLSDChange(bool onOff)
{
    if (OnRLSDChange)
        OnRLSDChange(this, onOff);
    fireLine(lsRLSD, onOff);
}

void TCustomComPort::fireLine(TLineSignal line, bool on)
{
    if (OnLineChange)
        OnLineChange(this, line, on);
}

void TCustomComPort::FireRx80Full()
{
    if (OnRx80Full)
        OnRx80Full(this);
}

void TCustomComPort::HandleRxChar()
{
    // The count when the reaction runs: an earlier handler may already have read the bytes
    // this event announced.
    const std::int32_t count = InputQueueCount();
    if (count > 0)
        FireRxChar(count);
}

void TCustomComPort::HandleError()
{
    const TComErrors errors = ReadLineErrors();
    if (!errors.empty())
        FireError(errors);
}

void TCustomComPort::HandleCTSChange()
{
    FireCTSChange(ModemSignals().contains(lsCTS));
}

void TCustomComPort::HandleDSRChange()
{
    FireDSRChange(ModemSignals().contains(lsDSR));
}

void TCustomComPort::HandleRLSDChange()
{
    FireRLSDChange(ModemSignals().contains(lsRLSD));
}

void TCustomComPort::HandleTxEmpty()
{
    FireTxEmpty();
}

void TCustomComPort::HandleBreak()
{
    FireBreak();
}

void TCustomComPort::HandleRing()
{
    FireRing();
}

void TCustomComPort::HandleRxFlag()
{
    FireRxFlag();
}

void TCustomComPort::HandleRx80Full()
{
    FireRx80Full();
}

void TCustomComPort::ReactTo(TComEvent event)
{
    switch (event) {
    case evRxChar:
        HandleRxChar();
        break;
    case evTxEmpty:
        HandleTxEmpty();
        break;
    case evRxFlag:
        HandleRxFlag();
        break;
    case evRing:
        HandleRing();
        break;
    case evBreak:
        HandleBreak();
        break;
    case evCTS:
        HandleCTSChange();
        break;
    case evDSR:
        HandleDSRChange();
        break;
    case evError:
        HandleError();
        break;
    case evRLSD:
        HandleRLSDChange();
        break;
    case evRx80Full:
        HandleRx80Full();
        break;
    }
}

LRESULT TCustomComPort::HandlePortMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != PortEventMessage)
        return DefWindowProcA(m_window, message, wParam, lParam);
    // The event thread goes back to waiting while the reaction runs here.
    if (InSendMessage())
        ReplyMessage(0);
    TComEvent event;
    if (m_connected && eventOfMessageCode(wParam, event))
        reactGuarded(event);
    return 0;
}

void TCustomComPort::reactGuarded(TComEvent event)
{
    runGuarded([&] {
        // Once the loss of the device was told, or while the failed wait that tells it is on
        // its way here, the reactions that meet it say nothing: after a removal every query
        // fails, and each would be one more box.
        const bool told = m_lossRaised;
        try {
            ReactTo(event);
        } catch (const EComPort &error) {
            if (error.DeviceGone() && !told && offerLoss())
                return;
            if (!error.DeviceGone() || !(told || m_waitLost))
                throw;
            m_lossRaised = told;
        }
    });
}
