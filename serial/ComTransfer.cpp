#include "serial/ComTransfer.h"

#include "serial/ComPort.h"
#include "serial/CommCalls.h"
#include "serial/EComPort.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {

#ifdef _WIN32
// On Windows the record's event is given with its low bit set, the documented way to keep a
// transfer that ends at once from posting to a completion port. The port has none, but Wine
// asks its server anyway: one round trip less for every read of a flood.
constexpr ULONG_PTR NoCompletionPost = 1;
#else
constexpr ULONG_PTR NoCompletionPost = 0;
#endif

} // namespace

TPortTransfer *NewTransfer()
{
    auto *transfer = new TPortTransfer;
    std::memset(&transfer->Overlapped, 0, sizeof transfer->Overlapped);
    transfer->Kind = xkWrite;
    if (HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr))
        transfer->Overlapped.hEvent =
            reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event) | NoCompletionPost);
    return transfer;
}

void DisposeTransfer(TPortTransfer *&transfer)
{
    if (transfer == nullptr)
        return;
    if (transfer->Overlapped.hEvent != nullptr)
        CloseHandle(reinterpret_cast<HANDLE>(
            reinterpret_cast<ULONG_PTR>(transfer->Overlapped.hEvent) & ~NoCompletionPost));
    delete transfer;
    transfer = nullptr;
}

TLineSignals modemStatusToSignals(DWORD status)
{
    TLineSignals signals;
    if (status & MS_CTS_ON)
        signals.insert(lsCTS);
    if (status & MS_DSR_ON)
        signals.insert(lsDSR);
    if (status & MS_RING_ON)
        signals.insert(lsRing);
    if (status & MS_RLSD_ON)
        signals.insert(lsRLSD);
    return signals;
}

TComErrors errorFlagsToErrors(DWORD flags, bool parityCheck)
{
    TComErrors errors;
    if (flags & CE_FRAME)
        errors.insert(erFraming);
    if ((flags & CE_RXPARITY) && parityCheck)
        errors.insert(erParity);
    if (flags & CE_OVERRUN)
        errors.insert(erOverrun);
    if (flags & CE_RXOVER)
        errors.insert(erInputOverflow);
    if (flags & CE_TXFULL)
        errors.insert(erOutputFull);
    if (flags & CE_BREAK)
        errors.insert(erBreak);
    if (flags & CE_IOE)
        errors.insert(erDeviceIO);
    if (flags & CE_MODE)
        errors.insert(erMode);
    return errors;
}

namespace {

// The record of a waiting transfer, disposed of on every path, also when an exception leaves.
// Each thread keeps one spare record for its next transfer: on Windows under Wine, making and
// closing an event is a round trip to the server each, which halved a flood's read rate.
class TransferHolder
{
public:
    TransferHolder() : m_transfer(std::exchange(t_spare.record, nullptr))
    {
        if (m_transfer == nullptr)
            m_transfer = NewTransfer();
    }
    ~TransferHolder()
    {
        if (t_spare.record == nullptr && m_transfer->Overlapped.hEvent != nullptr)
            t_spare.record = std::exchange(m_transfer, nullptr);
        else
            DisposeTransfer(m_transfer);
    }
    TransferHolder(const TransferHolder &) = delete;
    TransferHolder &operator=(const TransferHolder &) = delete;

    TPortTransfer *get() const { return m_transfer; }

private:
    struct Spare
    {
        TPortTransfer *record = nullptr;
        ~Spare() { DisposeTransfer(record); }
    };
    static thread_local Spare t_spare;
    TPortTransfer *m_transfer;
};

thread_local TransferHolder::Spare TransferHolder::t_spare;

std::int32_t systemCode(DWORD error)
{
    return static_cast<std::int32_t>(error);
}

} // namespace

EComPort TCustomComPort::transferFailure(std::int32_t errorCode, DWORD systemError)
{
    // A closed port's calls fail with 6 as well: that says nothing about the device.
    EComPort error = m_handle != INVALID_HANDLE_VALUE
                         ? EComPort::CreateForOpenPort(errorCode, systemCode(systemError))
                         : EComPort::CreateWithSystemCode(errorCode, systemCode(systemError));
    if (error.DeviceGone())
        m_lossRaised = true;
    return error;
}

std::int32_t TCustomComPort::Write(const void *buffer, std::int32_t count)
{
    TransferHolder transfer;
    StartWrite(buffer, count, transfer.get());
    return WaitForTransfer(transfer.get());
}

std::int32_t TCustomComPort::Read(void *buffer, std::int32_t count)
{
    TransferHolder transfer;
    StartRead(buffer, count, transfer.get());
    return WaitForTransfer(transfer.get());
}

std::int32_t TCustomComPort::ReadStr(std::string &str, std::int32_t count)
{
    TransferHolder transfer;
    std::int32_t read = 0;
    try {
        StartReadStr(str, count, transfer.get());
        read = WaitForTransfer(transfer.get());
    } catch (...) {
        // Whatever the string held was placeholder bytes, not data from the line.
        str.clear();
        throw;
    }
    str.resize(static_cast<std::size_t>(read));
    return read;
}

std::int32_t TCustomComPort::StartWrite(const void *buffer, std::int32_t count,
                                        TPortTransfer *transfer)
{
    if (transfer == nullptr)
        throw EComPort::CreateWithoutSystemCode(EComPort::InvalidAsyncParam);
    transfer->Kind = xkWrite;
    // A negative count would reach the device as a length of almost 4 GiB.
    if (count < 0)
        throw EComPort::CreateWithSystemCode(EComPort::WriteFailed,
                                             systemCode(ERROR_INVALID_PARAMETER));
    DWORD written = 0;
    if (!commCalls().writeFile(m_handle, buffer, static_cast<DWORD>(count), &written,
                               &transfer->Overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            throw transferFailure(EComPort::WriteFailed, error);
    }
    return static_cast<std::int32_t>(written);
}

std::int32_t TCustomComPort::StartRead(void *buffer, std::int32_t count, TPortTransfer *transfer)
{
    if (transfer == nullptr)
        throw EComPort::CreateWithoutSystemCode(EComPort::InvalidAsyncParam);
    transfer->Kind = xkRead;
    if (count < 0)
        throw EComPort::CreateWithSystemCode(EComPort::ReadFailed,
                                             systemCode(ERROR_INVALID_PARAMETER));
    DWORD read = 0;
    if (!commCalls().readFile(m_handle, buffer, static_cast<DWORD>(count), &read,
                              &transfer->Overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            throw transferFailure(EComPort::ReadFailed, error);
    }
    return static_cast<std::int32_t>(read);
}

std::int32_t TCustomComPort::StartReadStr(std::string &str, std::int32_t count,
                                          TPortTransfer *transfer)
{
    str.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (count <= 0)
        return 0;
    return StartRead(str.data(), count, transfer);
}

std::int32_t TCustomComPort::WaitForTransfer(TPortTransfer *transfer)
{
    if (transfer == nullptr)
        throw EComPort::CreateWithoutSystemCode(EComPort::InvalidAsyncParam);
    DWORD transferred = 0;
#ifdef _WIN32
    // A transfer the system completed at once needs no wait on its event: a kernel call on
    // Windows, a server round trip under Wine. The system waits only for one still pending.
    const bool ended =
        commCalls().transferResult(m_handle, &transfer->Overlapped, &transferred, TRUE);
#else
    const bool ended =
        WaitForSingleObject(transfer->Overlapped.hEvent, INFINITE) == WAIT_OBJECT_0 &&
        commCalls().transferResult(m_handle, &transfer->Overlapped, &transferred, FALSE);
#endif
    if (!ended) {
        const DWORD error = GetLastError();
#ifdef _WIN32
        // Wine ends a read whose time-out ran out with ERROR_TIMEOUT, where Windows completes
        // it with the bytes that came: the same outcome.
        if (transfer->Kind != xkWrite && error == ERROR_TIMEOUT)
            return static_cast<std::int32_t>(transferred);
#endif
        throw transferFailure(
            transfer->Kind == xkWrite ? EComPort::WriteFailed : EComPort::ReadFailed, error);
    }
    return static_cast<std::int32_t>(transferred);
}

void TCustomComPort::CancelTransfers()
{
    if (!commCalls().purgeComm(m_handle, PURGE_TXABORT | PURGE_RXABORT))
        throw transferFailure(EComPort::PurgeFailed, GetLastError());
}

std::int32_t TCustomComPort::InputQueueCount()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!commCalls().clearCommError(m_handle, &errors, &status))
        throw transferFailure(EComPort::ClearErrorFailed, GetLastError());
    return static_cast<std::int32_t>(
        std::min<DWORD>(status.cbInQue, std::numeric_limits<std::int32_t>::max()));
}

TLineSignals TCustomComPort::ModemSignals()
{
    DWORD status = 0;
    if (!commCalls().getCommModemStatus(m_handle, &status))
        throw transferFailure(EComPort::ModemStatusFailed, GetLastError());
    return modemStatusToSignals(status);
}

void TCustomComPort::SetDTR(bool on)
{
    escape(on ? SETDTR : CLRDTR);
}

void TCustomComPort::SetRTS(bool on)
{
    escape(on ? SETRTS : CLRRTS);
}

void TCustomComPort::SetBreak(bool on)
{
    escape(on ? SETBREAK : CLRBREAK);
}

void TCustomComPort::escape(DWORD function)
{
    if (!commCalls().escapeCommFunction(m_handle, function))
        throw transferFailure(EComPort::EscapeFailed, GetLastError());
}

TComErrors TCustomComPort::ReadLineErrors()
{
    DWORD flags = 0;
    COMSTAT status{};
    if (!commCalls().clearCommError(m_handle, &flags, &status))
        throw transferFailure(EComPort::ClearErrorFailed, GetLastError());
    return errorFlagsToErrors(flags, Parity().Check());
}
