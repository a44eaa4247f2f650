// The serial port component. TCustomComPort is one serial device: it holds the line settings
// (its own values and the four settings objects Parity, FlowControl, Timeouts, Buffer, which
// call back into it through ApplyCommState, ApplyCommTimeouts and ApplyQueueSizes when one of
// their values changes), opens and closes the device, moves bytes with overlapped I/O and
// announces line events through its On... handler slots. TComPort is the form-stored variant.
//
// Threads: everything here is called on the user-interface thread, except what the event
// thread (TComThread, alive while the port is open with a non-empty Events) calls: the
// reactions Handle* and the Fire* triggers. SyncMethod decides where those run: smThreadSync
// on the UI thread through Thread::Synchronize (the event thread waits), smWindowSync on the
// UI thread through a message window (the event thread does not wait), smNone on the event
// thread itself. A failed wait is raised on the UI thread through Thread::Synchronize in
// every mode. An exception from a handler or reaction never stops the event thread: it
// goes to the UI thread (re-thrown out of the running ProcessMessages, else reported).
// Assign the handlers while the port is closed.
//
// Every failure raises EComPort; no operation returns an error status.
#pragma once

#include "framework/core/Component.h"
#include "platform/win32.h"
#include "serial/ComEvents.h"
#include "serial/ComTransfer.h"
#include "serial/settings/ComBuffer.h"
#include "serial/settings/ComFlowControl.h"
#include "serial/settings/ComParity.h"
#include "serial/settings/ComTimeouts.h"
#include "serial/settings/ComTypes.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class EComPort;
class IniFile;
class Registry;
class TComThread;

#ifdef _WIN32
inline constexpr bool systemClosesLostDevice = true;
#else
inline constexpr bool systemClosesLostDevice = false;
#endif

class TCustomComPort : public Component
{
public:
    // Defaults: closed, COM1, br9600 (CustomBaudRate 9600), 8 data bits, one stop bit, all
    // ten events, smThreadSync; creates and binds Parity, FlowControl, Timeouts, Buffer.
    explicit TCustomComPort(Component *owner = nullptr);
    // Close (the full sequence with its notifications), then frees Buffer, FlowControl,
    // Timeouts, Parity. Never throws: a failure of Close is reported and the device, thread
    // and message window are released anyway.
    ~TCustomComPort() override;

    // --- Opening and closing ---------------------------------------------------------------
    // Nothing when open. Else: OnBeforeOpen, open "\\.\" + Port, apply all settings (on
    // failure the device is closed again and the exception leaves), start the event thread
    // (and in smWindowSync the message window) when Events is not empty, OnAfterOpen, then
    // OnCTSChange, OnDSRChange, OnRLSDChange with the lines' present states.
    void Open();
    // Nothing when closed. Else: OnCTSChange/OnDSRChange/OnRLSDChange with false,
    // OnBeforeClose, abort pending transfers, stop the event thread (serving its pending
    // synchronize call or message meanwhile), close the device, OnAfterClose. Once
    // OnBeforeClose has run the port closes in any case; a failed abort is raised after
    // OnAfterClose, unless it says that the device is gone.
    void Close();
    // Whether the port closes itself when its event thread finds the device gone (after the
    // transfers that met the loss and before the loss is raised), and then calls
    // OnClosedByLoss. On Windows: until its handle is closed a removed adapter's driver keeps
    // the device, which cannot come back under its name. Elsewhere the port stays open, lost,
    // until it is closed.
    static constexpr bool ClosesLostDevice = systemClosesLostDevice;

    bool Connected() const { return m_connected; }
    // The event thread's wait has failed since the last Open (the device hung up or
    // vanished) and the user has been told: by that failure, raised on the UI thread, or by a
    // transfer's that said the device is gone before it (the loss is raised once). The port
    // stays open, but the device is gone. Set on the UI thread.
    bool DeviceLost() const { return m_deviceLost; }
    // While loading only stored (the end of loading opens the port); else Open or Close.
    void setConnected(bool value);

    // The open device; INVALID_HANDLE_VALUE while closed.
    HANDLE Handle() const { return m_handle; }

    // --- Line settings: a change re-applies the line state at once when open --------------
    TBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate value);
    // Speed in bit/s, used only when BaudRate is brCustom.
    std::int32_t CustomBaudRate() const { return m_customBaudRate; }
    void setCustomBaudRate(std::int32_t value);
    // Device name without the "\\.\" prefix, compared case-sensitively; a change while open
    // closes the port and opens the new device.
    const std::string &Port() const { return m_port; }
    void setPort(const std::string &value);
    TStopBits StopBits() const { return m_stopBits; }
    void setStopBits(TStopBits value);
    TDataBits DataBits() const { return m_dataBits; }
    void setDataBits(TDataBits value);
    bool DiscardNull() const { return m_discardNull; }
    void setDiscardNull(bool value);
    // Received character that raises evRxFlag.
    char EventChar() const { return m_eventChar; }
    void setEventChar(char value);
    // Events the event thread watches; a change takes effect at the next Open.
    TComEvents Events() const { return m_events; }
    void setEvents(TComEvents value);

    // The owned settings objects, for reading and for changing single values. The setters
    // copy the given object's values into the owned one (which keeps its owner link) and
    // then re-apply that group once.
    TComBuffer &Buffer() { return *m_buffer; }
    const TComBuffer &Buffer() const { return *m_buffer; }
    void setBuffer(const TComBuffer &value);
    TComParity &Parity() { return *m_parity; }
    const TComParity &Parity() const { return *m_parity; }
    void setParity(const TComParity &value);
    TComTimeouts &Timeouts() { return *m_timeouts; }
    const TComTimeouts &Timeouts() const { return *m_timeouts; }
    void setTimeouts(const TComTimeouts &value);
    TComFlowControl &FlowControl() { return *m_flowControl; }
    const TComFlowControl &FlowControl() const { return *m_flowControl; }
    void setFlowControl(const TComFlowControl &value);

    // Where the event handlers run. Setting another value while open raises EComPort 14.
    TSyncMethod SyncMethod() const { return m_syncMethod; }
    void setSyncMethod(TSyncMethod value);

    // Which groups the settings storage covers.
    TSettingGroups SavedGroups() const { return m_savedGroups; }
    void setSavedGroups(TSettingGroups value) { m_savedGroups = value; }

    // --- Settings storage -------------------------------------------------------------------
    // The groups in SavedGroups as values of the registry object's open key, or as entries of
    // the INI file's section named after this component (Name). Saving leaves the port and the
    // device alone. Loading writes each value through the ordinary setters, so an open port
    // takes it on at once and a new Port reopens it. A store error (ERegistryException,
    // EIniFileException) or EComPort from applying ends the operation at that key; what was
    // already saved or applied stays. The caller opens, closes and frees the store object.
    virtual void SaveToRegistry(Registry &registry) const;
    virtual void SaveToIniFile(IniFile &iniFile) const;
    virtual void LoadFromRegistry(Registry &registry);
    virtual void LoadFromIniFile(IniFile &iniFile);

    // --- Pushing settings to the device ----------------------------------------------------
    // Each does nothing while closed or loading; a refusal raises EComPort 9, 7 or 8.
    virtual void ApplySettings(); // queue sizes, line state, time-outs, in that order
    virtual void ApplyCommState();
    virtual void ApplyCommTimeouts();
    virtual void ApplyQueueSizes();

    // --- Data transfer ----------------------------------------------------------------------
    // The waiting forms: start a transfer on a record of their own and wait for it. How long
    // they block is set by Timeouts: by default a read returns at once with what is queued,
    // and a write of n bytes gets 100 * n + 1000 ms and then returns what was sent.
    std::int32_t Write(const void *buffer, std::int32_t count);
    std::int32_t Read(void *buffer, std::int32_t count);
    // str becomes exactly the bytes read (NUL included); Count 0 reads nothing.
    std::int32_t ReadStr(std::string &str, std::int32_t count);

    // The starting forms: the buffer is handed to the device as it is and must stay valid
    // until WaitForTransfer on the same record returns. Result: bytes transferred at once.
    std::int32_t StartWrite(const void *buffer, std::int32_t count, TPortTransfer *transfer);
    std::int32_t StartRead(void *buffer, std::int32_t count, TPortTransfer *transfer);
    std::int32_t StartReadStr(std::string &str, std::int32_t count, TPortTransfer *transfer);
    std::int32_t WaitForTransfer(TPortTransfer *transfer);

    // Aborts pending reads and writes (EComPort 5).
    void CancelTransfers();
    // Bytes waiting in the input queue; clears the device's error flags (EComPort 10).
    std::int32_t InputQueueCount();
    // The modem input lines that are on (EComPort 11).
    TLineSignals ModemSignals();
    // The line errors since the last query, erParity only when Parity.Check is on; clears
    // them (EComPort 10).
    TComErrors ReadLineErrors();
    // Switch the DTR or RTS output, or hold the line in a break (output waits meanwhile) and
    // let it go (EComPort 12). A line that FlowControl leaves to the driver (DTR handshake,
    // RTS handshake or toggle) is refused with system code 87. Lines set here last until the
    // line state is applied again (a setting changed, ApplyCommState), which sets them as
    // FlowControl says, as Open does.
    void SetDTR(bool on);
    void SetRTS(bool on);
    void SetBreak(bool on);

    // --- Handler slots ----------------------------------------------------------------------
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf; // stored with the form, never raised: data is announced by count
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TComErrorEvent OnError;
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TNotifyEvent OnRx80Full;
    // Not stored with a form: the port closed itself for a lost device (ClosesLostDevice).
    TNotifyEvent OnClosedByLoss;
    // Not stored with a form: the event thread's wait or a reaction to an event found the device
    // gone, before anything told of the loss. An owner that takes the loss in hand (it closes
    // the port, on every system) returns true: the loss is then not raised, and the port does
    // not close itself. False, or none assigned: the loss is raised as without it.
    std::function<bool(Component *Sender)> OnDeviceLost;
    // Not stored with a form: one input line as OnCTSChange, OnDSRChange and OnRLSDChange tell
    // it (also at Open and Close), and RI on when OnRing tells that a ring began. Called after
    // that slot, for an owner that follows the lines without taking the stored slots.
    std::function<void(Component *Sender, TLineSignal Line, bool OnOff)> OnLineChange;

protected:
    // End of loading: a port loaded as Connected is opened now; a failure is reported
    // through the application's exception report and the port stays closed.
    void loaded() override;

    // Open the device "\\.\" + Port exclusively for overlapped I/O (EComPort 1), and close it.
    virtual void OpenDevice();
    virtual void CloseDevice();

    // Triggers: each calls its slot, if assigned, with this port as Sender.
    virtual void FireAfterClose();
    virtual void FireAfterOpen();
    virtual void FireBeforeClose();
    virtual void FireBeforeOpen();
    virtual void FireRxChar(std::int32_t count);
    virtual void FireRxBuf(const void *buffer, std::int32_t count);
    virtual void FireTxEmpty();
    virtual void FireBreak();
    virtual void FireRing();
    virtual void FireRxFlag();
    virtual void FireCTSChange(bool onOff);
    virtual void FireDSRChange(bool onOff);
    virtual void FireError(TComErrors errors);
    virtual void FireRLSDChange(bool onOff);
    virtual void FireRx80Full();

    // Reactions to one event; those that query the device raise EComPort when it fails.
    void HandleRxChar();    // fires OnRxChar with the input-queue length, when not 0
    void HandleError();     // fires OnError with the line errors, when there are any
    void HandleCTSChange(); // fire the line's present state
    void HandleDSRChange();
    void HandleRLSDChange();
    void HandleTxEmpty();
    void HandleBreak();
    void HandleRing();
    void HandleRxFlag();
    void HandleRx80Full();
    // Runs the reaction to one event.
    void ReactTo(TComEvent event);

    // Procedure of the message window (UI thread). For PortEventMessage: releases the sender
    // first, then, only while Connected, runs the reaction of the event whose code is wParam
    // (an exception goes to the handler guard). Other messages go to DefWindowProcA.
    virtual LRESULT HandlePortMessage(UINT message, WPARAM wParam, LPARAM lParam);
    HWND MessageWindow() const { return m_window; }

private:
    friend class TComThread;

    // The parts of Close from the transfer abort on; also the destructor's fallback.
    void releaseThreadAndWindow();
    // Close for a device found gone, a failure reported through the handler guard; then
    // OnClosedByLoss. UI thread.
    void closeLostDevice();
    // Offers the loss to OnDeviceLost; true when the owner took it, which counts as told.
    bool offerLoss();
    // Runs the reaction to one event through the handler guard; once the loss of the device
    // was told or the wait found it, a reaction's failure that says the device is gone is
    // dropped.
    void reactGuarded(TComEvent event);
    // The error of a failed call on the device (EComPort::CreateForOpenPort while open); one
    // that says the device is gone is remembered, so that the event thread's failed wait and
    // the later reactions do not raise the same loss again.
    EComPort transferFailure(std::int32_t errorCode, DWORD systemError);
    // OnLineChange, if assigned.
    void fireLine(TLineSignal line, bool on);
    // EscapeCommFunction on the device (EComPort 12).
    void escape(DWORD function);
    bool deviceConfigurable() const;

    std::unique_ptr<TComThread> m_eventThread;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    HWND m_window = nullptr;
    bool m_connected = false;
    std::atomic<bool> m_deviceLost{false};
    std::atomic<bool> m_lossRaised{false}; // a transfer's failure told of the loss
    std::atomic<bool> m_waitLost{false};   // the event thread's wait found the device gone
    TBaudRate m_baudRate = br9600;
    std::int32_t m_customBaudRate = 9600;
    std::string m_port = "COM1";
    TStopBits m_stopBits = sbOneStopBit;
    TDataBits m_dataBits = dbEight;
    bool m_discardNull = false;
    char m_eventChar = '\0';
    TComEvents m_events = TComEvents::all();
    std::unique_ptr<TComBuffer> m_buffer;
    std::unique_ptr<TComParity> m_parity;
    std::unique_ptr<TComTimeouts> m_timeouts;
    std::unique_ptr<TComFlowControl> m_flowControl;
    TSyncMethod m_syncMethod = smThreadSync;
    TSettingGroups m_savedGroups{sgBasic};
    bool m_closing = false; // Close is running: a handler's nested Close does nothing
};

// The port as a form stores it: the same object, plus which properties a form writes.
class TComPort : public TCustomComPort
{
public:
    using TCustomComPort::TCustomComPort;

    // The stored properties, in the order a form writes them (after the name and tag).
    static const std::array<std::string_view, 28> &StoredProperties();
    // Whether a form writes this property now: a property holding its declared default is
    // left out; BaudRate, StopBits, DataBits and Events have none and are always written, as
    // are the settings objects (whose own values follow their own defaults). Unknown: false.
    bool IsStored(std::string_view property) const;
};
