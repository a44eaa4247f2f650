// One overlapped transfer on a port's device: its overlapped block with an event of its own,
// so a caller's read or write and the event thread's pending wait can be outstanding on the
// same handle at once. The transfer operations themselves (Write, ReadStr, StartWrite,
// WaitForTransfer, ...) are members of TCustomComPort. Also the pure mappings from the
// device's modem-status and line-error flags to the sets handlers receive.
// A record is used by one thread at a time: the one that started the transfer.
#pragma once

#include "platform/win32.h"
#include "serial/ComEvents.h"

#include <cstdint>

enum TTransferKind : std::uint8_t { xkWrite, xkRead };

struct TPortTransfer
{
    OVERLAPPED Overlapped; // zeroed; hEvent is the record's own event (low bit set on Windows)
    TTransferKind Kind;    // selects the error code WaitForTransfer reports
};

// A record with a zeroed overlapped block and a manual-reset event that starts signalled, so
// waiting on a record that never started a transfer returns at once with 0 bytes.
TPortTransfer *NewTransfer();
// Closes the record's event, frees it and empties the caller's reference. Null is allowed.
void DisposeTransfer(TPortTransfer *&transfer);

// MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON as the set of lines that are on.
TLineSignals modemStatusToSignals(DWORD status);
// CE_* flags as line errors; CE_RXPARITY counts only when the port checks parity. Flags
// without a TComError are ignored.
TComErrors errorFlagsToErrors(DWORD flags, bool parityCheck);
