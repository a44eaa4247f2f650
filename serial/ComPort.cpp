#include "serial/ComPort.h"

#include "framework/core/Application.h"
#include "framework/core/HandlerGuard.h"
#include "framework/core/user32.h"
#include "serial/ComThread.h"
#include "serial/ComTransfer.h"
#include "serial/EComPort.h"
#include "serial/PortDevice.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

TCustomComPort::TCustomComPort(Component *owner) : Component(owner)
{
    m_parity = std::make_unique<TComParity>();
    m_parity->BindToPort(this);
    m_flowControl = std::make_unique<TComFlowControl>();
    m_flowControl->BindToPort(this);
    m_timeouts = std::make_unique<TComTimeouts>();
    m_timeouts->BindToPort(this);
    m_buffer = std::make_unique<TComBuffer>();
    m_buffer->BindToPort(this);
}

TCustomComPort::~TCustomComPort()
{
    try {
        Close();
    } catch (...) {
        // A destructor cannot pass the failure on: show it, and still let nothing outlive
        // the port that refers to it.
        try {
            Application::instance().HandleException(std::current_exception());
        } catch (...) {
            std::fputs("serial port: close failed while destroying the port\n", stderr);
        }
        releaseThreadAndWindow();
        CloseDevice();
        m_connected = false;
    }
    m_buffer.reset();
    m_flowControl.reset();
    m_timeouts.reset();
    m_parity.reset();
}

void TCustomComPort::Open()
{
    if (m_connected)
        return;
    FireBeforeOpen();
    OpenDevice();
    m_connected = true;
    m_deviceLost = false;
    m_lossRaised = false;
    m_waitLost = false;
    try {
        ApplySettings();
        if (!m_events.empty()) {
            if (m_syncMethod == smWindowSync) {
                m_window =
                    allocateMessageWindow([this](UINT message, WPARAM wParam, LPARAM lParam) {
                        return HandlePortMessage(message, wParam, lParam);
                    });
            }
            m_eventThread = std::make_unique<TComThread>(this);
        }
    } catch (...) {
        // Every handle is closed on the path that opened it.
        releaseThreadAndWindow();
        CloseDevice();
        m_connected = false;
        throw;
    }
    FireAfterOpen();
    // The lines' state at the start. A port that cannot tell it (some virtual ports fail
    // GetCommModemStatus) opens all the same, with no line raised.
    DWORD status = 0;
    const TLineSignals lines =
        GetCommModemStatus(m_handle, &status) ? modemStatusToSignals(status) : TLineSignals{};
    FireCTSChange(lines.contains(lsCTS));
    FireDSRChange(lines.contains(lsDSR));
    FireRLSDChange(lines.contains(lsRLSD));
}

void TCustomComPort::Close()
{
    if (!m_connected || m_closing)
        return;
    // A thread cannot wait for its own end.
    if (m_eventThread && m_eventThread->isCurrent())
        throw std::logic_error("Close cannot be called from the port's own event thread");
    m_closing = true;
    try {
        FireCTSChange(false);
        FireDSRChange(false);
        FireRLSDChange(false);
        FireBeforeClose();
    } catch (...) {
        m_closing = false;
        throw;
    }
    // From here the close is carried through whatever the device says: a port left open on a
    // removed adapter keeps its driver's device alive, and Open and a port change would fail
    // until the program ends. A failed abort is raised once the port is closed, unless it only
    // says again that the device is gone.
    std::exception_ptr abortFailure;
    try {
        CancelTransfers();
    } catch (const EComPort &error) {
        if (!error.DeviceGone())
            abortFailure = std::current_exception();
    }
    releaseThreadAndWindow();
    CloseDevice();
    m_connected = false;
    m_closing = false;
    FireAfterClose();
    if (abortFailure)
        std::rethrow_exception(abortFailure);
}

void TCustomComPort::closeLostDevice()
{
    runGuarded([this] { Close(); });
    if (!m_connected && OnClosedByLoss)
        OnClosedByLoss(this);
}

bool TCustomComPort::offerLoss()
{
    if (!OnDeviceLost || !OnDeviceLost(this))
        return false;
    m_lossRaised = true;
    return true;
}

void TCustomComPort::releaseThreadAndWindow()
{
    // The thread goes first: while it ends, its pending synchronize call or message is still
    // served, with the window in place.
    m_eventThread.reset();
    if (m_window != nullptr) {
        deallocateMessageWindow(m_window);
        m_window = nullptr;
    }
}

void TCustomComPort::OpenDevice()
{
    // The prefix makes every name a device path, so "COM10" opens like "COM1".
    const std::string path = "\\\\.\\" + m_port;
    m_handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        const auto systemCode = static_cast<std::int32_t>(GetLastError());
        EComPort error = EComPort::CreateWithSystemCode(EComPort::OpenFailed, systemCode);
        error.setAdvice(openFailureAdvice(systemCode, path));
        throw error;
    }
}

void TCustomComPort::CloseDevice()
{
    if (m_handle != INVALID_HANDLE_VALUE) {
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}

void TCustomComPort::loaded()
{
    Component::loaded();
    if (!m_connected)
        return;
    m_connected = false;
    try {
        Open();
    } catch (...) {
        Application::instance().HandleException(std::current_exception());
    }
}

void TCustomComPort::setConnected(bool value)
{
    if (value == m_connected)
        return;
    if (isLoading())
        m_connected = value;
    else if (value)
        Open();
    else
        Close();
}

void TCustomComPort::setBaudRate(TBaudRate value)
{
    if (value == m_baudRate)
        return;
    m_baudRate = value;
    ApplyCommState();
}

void TCustomComPort::setCustomBaudRate(std::int32_t value)
{
    if (value == m_customBaudRate)
        return;
    m_customBaudRate = value;
    ApplyCommState();
}

void TCustomComPort::setPort(const std::string &value)
{
    if (value == m_port)
        return;
    m_port = value;
    if (m_connected && !isLoading()) {
        Close();
        Open();
    }
}

void TCustomComPort::setStopBits(TStopBits value)
{
    if (value == m_stopBits)
        return;
    m_stopBits = value;
    ApplyCommState();
}

void TCustomComPort::setDataBits(TDataBits value)
{
    if (value == m_dataBits)
        return;
    m_dataBits = value;
    ApplyCommState();
}

void TCustomComPort::setDiscardNull(bool value)
{
    if (value == m_discardNull)
        return;
    m_discardNull = value;
    ApplyCommState();
}

void TCustomComPort::setEventChar(char value)
{
    if (value == m_eventChar)
        return;
    m_eventChar = value;
    ApplyCommState();
}

void TCustomComPort::setEvents(TComEvents value)
{
    m_events = value;
}

void TCustomComPort::setSyncMethod(TSyncMethod value)
{
    if (value == m_syncMethod)
        return;
    if (m_connected && !isLoading())
        throw EComPort::CreateWithoutSystemCode(EComPort::SetWhileConnected);
    m_syncMethod = value;
}

void TCustomComPort::setBuffer(const TComBuffer &value)
{
    m_buffer->Assign(value);
    ApplyQueueSizes();
}

void TCustomComPort::setParity(const TComParity &value)
{
    m_parity->Assign(value);
    ApplyCommState();
}

void TCustomComPort::setTimeouts(const TComTimeouts &value)
{
    m_timeouts->Assign(value);
    ApplyCommTimeouts();
}

void TCustomComPort::setFlowControl(const TComFlowControl &value)
{
    m_flowControl->Assign(value);
    ApplyCommState();
}

const std::array<std::string_view, 28> &TComPort::StoredProperties()
{
    static constexpr std::array<std::string_view, 28> names = {
        "Connected",    "BaudRate",      "Port",        "Parity",      "StopBits",
        "DataBits",     "DiscardNull",   "EventChar",   "Events",      "Buffer",
        "FlowControl",  "Timeouts",      "SyncMethod",  "OnAfterOpen", "OnAfterClose",
        "OnBeforeOpen", "OnBeforeClose", "OnRxChar",    "OnRxBuf",     "OnTxEmpty",
        "OnBreak",      "OnRing",        "OnCTSChange", "OnDSRChange", "OnRLSDChange",
        "OnRxFlag",     "OnError",       "OnRx80Full"};
    return names;
}

bool TComPort::IsStored(std::string_view property) const
{
    if (property == "Connected")
        return Connected();
    if (property == "Port")
        return Port() != "COM1";
    if (property == "DiscardNull")
        return DiscardNull();
    if (property == "EventChar")
        return EventChar() != '\0';
    if (property == "SyncMethod")
        return SyncMethod() != smThreadSync;
    if (property == "OnAfterOpen")
        return static_cast<bool>(OnAfterOpen);
    if (property == "OnAfterClose")
        return static_cast<bool>(OnAfterClose);
    if (property == "OnBeforeOpen")
        return static_cast<bool>(OnBeforeOpen);
    if (property == "OnBeforeClose")
        return static_cast<bool>(OnBeforeClose);
    if (property == "OnRxChar")
        return static_cast<bool>(OnRxChar);
    if (property == "OnRxBuf")
        return static_cast<bool>(OnRxBuf);
    if (property == "OnTxEmpty")
        return static_cast<bool>(OnTxEmpty);
    if (property == "OnBreak")
        return static_cast<bool>(OnBreak);
    if (property == "OnRing")
        return static_cast<bool>(OnRing);
    if (property == "OnCTSChange")
        return static_cast<bool>(OnCTSChange);
    if (property == "OnDSRChange")
        return static_cast<bool>(OnDSRChange);
    if (property == "OnRLSDChange")
        return static_cast<bool>(OnRLSDChange);
    if (property == "OnRxFlag")
        return static_cast<bool>(OnRxFlag);
    if (property == "OnError")
        return static_cast<bool>(OnError);
    if (property == "OnRx80Full")
        return static_cast<bool>(OnRx80Full);
    for (std::string_view always : {"BaudRate", "Parity", "StopBits", "DataBits", "Events",
                                    "Buffer", "FlowControl", "Timeouts"}) {
        if (property == always)
            return true;
    }
    return false;
}
