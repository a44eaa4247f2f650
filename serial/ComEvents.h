// What the serial port announces and how: the handler slot types of TCustomComPort (every
// handler gets the port as Sender first), the sets a handler receives (modem lines, line
// errors), the conversion between the port's event set and the device's event mask, the
// fixed order in which one batch of events is reacted to, and the window message that carries
// one event in window-sync mode. Plain types and pure functions, any thread.
#pragma once

#include "platform/win32types.h"
#include "serial/settings/ComTypes.h"
#include "serial/settings/EnumSet.h"

#include <cstdint>
#include <functional>

class Component;

// The modem input lines.
enum TLineSignal : std::uint8_t { lsCTS, lsDSR, lsRing, lsRLSD };
using TLineSignals = EnumSet<TLineSignal, std::uint8_t, 4>;

// The line errors a device reports.
enum TComError : std::uint8_t {
    erFraming,
    erParity,
    erOverrun,
    erBreak,
    erDeviceIO,
    erMode,
    erInputOverflow,
    erOutputFull
};
using TComErrors = EnumSet<TComError, std::uint8_t, 8>;

// Handler slots. An empty slot is skipped.
using TNotifyEvent = std::function<void(Component *Sender)>;
// Count: bytes waiting in the input queue when the handler runs, always at least 1.
using TRxCharEvent = std::function<void(Component *Sender, std::int32_t Count)>;
using TRxBufEvent = std::function<void(Component *Sender, const void *Buffer, std::int32_t Count)>;
// OnOff: the line's present state.
using TComSignalEvent = std::function<void(Component *Sender, bool OnOff)>;
// Errors: never empty.
using TComErrorEvent = std::function<void(Component *Sender, TComErrors Errors)>;

// The device event mask of an event set and back; mask bits of no TComEvent are ignored.
// All ten events give 0x05FF.
DWORD EventSetToMask(TComEvents events);
TComEvents MaskToEventSet(DWORD mask);

// The order in which the reactions to one completed wait run. Line errors come before the
// byte count, because both queries clear the device's error flags.
inline constexpr TComEvent reactionOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                              evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

// Window-sync mode: one message per event to the port's message window; wParam holds the
// event's code (its device mask bit), lParam is 0.
inline constexpr unsigned PortEventMessage = 0x0400 + 1; // WM_USER + 1

// The message code of an event, and the event of a code; false for a code of no event.
WPARAM eventMessageCode(TComEvent event);
bool eventOfMessageCode(WPARAM code, TComEvent &event);
