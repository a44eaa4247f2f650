#include "serial/ComPortSettings.h"

#include "framework/core/Format.h"

#include "serial/ComPort.h"
#include "serial/EComPort.h"
#include "serial/settings/ComDeviceCodes.h"

#include <cstdint>
#include <cstring>

DCB buildCommState(const TCustomComPort &port)
{
    const TComParity &parity = port.Parity();
    const TComFlowControl &flow = port.FlowControl();

    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = port.BaudRate() == brCustom ? static_cast<DWORD>(port.CustomBaudRate())
                                               : baudRateSpeed(port.BaudRate());
    dcb.fBinary = 1;
    dcb.fParity = parity.Check();
    dcb.fOutxCtsFlow = flow.OutCTSFlow();
    dcb.fOutxDsrFlow = flow.OutDSRFlow();
    dcb.fDtrControl = dtrControlBits(flow.ControlDTR()) >> 4;
    dcb.fDsrSensitivity = flow.DSRSensitivity();
    dcb.fTXContinueOnXoff = flow.TxContinueOnXoff();
    dcb.fOutX = flow.XonXoffOut();
    dcb.fInX = flow.XonXoffIn();
    dcb.fErrorChar = parity.Check() && parity.Replace();
    dcb.fNull = port.DiscardNull();
    dcb.fRtsControl = rtsControlBits(flow.ControlRTS()) >> 12;
    dcb.fAbortOnError = 0;
    // Division first, then the low 16 bits, as a WORD field keeps them.
    const auto limit = static_cast<WORD>(port.Buffer().InputSize() / 4);
    dcb.XonLim = limit;
    dcb.XoffLim = limit;
    dcb.ByteSize = dataBitsCount(port.DataBits());
    dcb.Parity = parityCode(parity.Bits());
    dcb.StopBits = stopBitsCode(port.StopBits());
    dcb.XonChar = flow.XonChar();
    dcb.XoffChar = flow.XoffChar();
    dcb.ErrorChar = dcb.fErrorChar ? parity.ReplaceChar() : '\0';
    dcb.EofChar = '\0';
    dcb.EvtChar = port.EventChar();
    return dcb;
}

COMMTIMEOUTS buildCommTimeouts(const TComTimeouts &timeouts)
{
    // Two's complement: -1 is MAXDWORD, every other value passes unchanged.
    COMMTIMEOUTS block;
    block.ReadIntervalTimeout = static_cast<DWORD>(timeouts.ReadInterval());
    block.ReadTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.ReadTotalMultiplier());
    block.ReadTotalTimeoutConstant = static_cast<DWORD>(timeouts.ReadTotalConstant());
    block.WriteTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.WriteTotalMultiplier());
    block.WriteTotalTimeoutConstant = static_cast<DWORD>(timeouts.WriteTotalConstant());
    return block;
}

bool TCustomComPort::deviceConfigurable() const
{
    return m_connected && !isLoading();
}

void TCustomComPort::ApplySettings()
{
    ApplyQueueSizes();
    ApplyCommState();
    ApplyCommTimeouts();
}

void TCustomComPort::ApplyQueueSizes()
{
    if (!deviceConfigurable())
        return;
    if (!SetupComm(m_handle, static_cast<DWORD>(Buffer().InputSize()),
                   static_cast<DWORD>(Buffer().OutputSize())))
        throw EComPort::CreateWithSystemCode(EComPort::SetupCommFailed,
                                             static_cast<std::int32_t>(GetLastError()));
}

void TCustomComPort::ApplyCommState()
{
    if (!deviceConfigurable())
        return;
    DCB dcb = buildCommState(*this);
    if (!SetCommState(m_handle, &dcb)) {
        const auto systemCode = static_cast<std::int32_t>(GetLastError());
        EComPort error = EComPort::CreateWithSystemCode(EComPort::SetStateFailed, systemCode);
        // Apart from 1.5 stop bits, which only go with 5 data bits, the settings are checked
        // before they get here: what a device refuses is its speed. A rate of 0 or below is no
        // speed at all, and no device's fault.
        const std::int64_t rate =
            BaudRate() == brCustom ? std::int64_t{CustomBaudRate()} : std::int64_t{dcb.BaudRate};
        if (systemCode == ERROR_INVALID_PARAMETER && dcb.StopBits != ONE5STOPBITS && rate > 0)
            error.setAdvice(formatText("The device cannot run at %lld bit/s: choose another rate.",
                                       static_cast<long long>(rate)));
        throw error;
    }
}

void TCustomComPort::ApplyCommTimeouts()
{
    if (!deviceConfigurable())
        return;
    COMMTIMEOUTS block = buildCommTimeouts(Timeouts());
    if (!SetCommTimeouts(m_handle, &block))
        throw EComPort::CreateWithSystemCode(EComPort::SetTimeoutsFailed,
                                             static_cast<std::int32_t>(GetLastError()));
}
