// The mapping between a Win32 DCB and a device's line settings, as pure functions: what
// SetCommState checks and applies, and the DCB a freshly opened device starts from.
// Emulated in the receive path, not here: fNull, fDsrSensitivity, EvtChar, ErrorChar
// replacement, DTR handshake, DSR output flow and RTS toggle.
#pragma once

#include "platform/posix/LineSettings.h"
#include "platform/win32.h"

// 0 when SetCommState would accept the DCB, else the error Windows gives (87): speed 0 or
// above 2^31 - 1 (negative for a signed caller), byte size outside 5..8, parity above
// SPACEPARITY, stop bits above TWOSTOPBITS, 1.5 stop bits with other than 5 data bits, 2 stop
// bits with 5 data bits, software flow control with equal XON and XOFF characters.
DWORD checkDcb(const DCB &dcb);

// Raw settings for an accepted DCB. Keeps from current only what a DCB does not decide
// (the line discipline, unused control characters, driver-specific control bits).
// Parity checking (fParity) turns on INPCK and PARMRK: the receive path then parses the
// kernel's error marks; without it breaks are ignored by the line discipline, and PARMRK
// stays on only so that an overrun never shows as a NUL byte (the receive path then undoes
// the doubling of literal \377 bytes). A device that never reports line errors (a
// pseudo-terminal, lineErrors false) gets neither without parity checking: the line
// discipline then takes its raw fast path, and the receive path parses nothing.
LineSettings lineSettingsFromDcb(const DCB &dcb, const LineSettings &current,
                                 bool lineErrors = true);

// True when the line discipline marks bytes received with errors (PARMRK) and the receive
// path has to parse the marks.
bool marksErrors(const LineSettings &settings);

// The DCB a device starts with when opened: its present speed, byte size, parity and stop
// bits; no flow control; DTR and RTS on; XON 0x11, XOFF 0x13; limits of a 4 KiB queue.
DCB dcbFromLineSettings(const LineSettings &settings);

// The rate a UART runs at when asked for speed: its clock (baudBase) divided by the nearest
// whole divisor.
std::uint32_t uartRate(std::uint32_t speed, std::uint32_t baudBase);
// Whether a line running at actual serves a caller who asked for wanted: within 2 %, the
// tolerance of an asynchronous receiver sampling in the middle of each bit.
bool speedCloseEnough(std::uint32_t wanted, std::uint32_t actual);
