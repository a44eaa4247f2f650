// The Win32 communications and synchronisation subset the serial component is written
// against: comm devices ("COMn", "\\.\COMn"), overlapped I/O, event objects and waits, and a
// thread-local last-error number. Every function may be called from any thread; results and
// GetLastError numbers are those of Windows. On Windows the system header provides all of it.
//
// On POSIX each open comm handle owns one I/O thread that alone reads and writes the device;
// pending requests complete from that thread, which signals the request's hEvent. No call
// ever runs application code.
#pragma once

#include "platform/win32reg.h"
#include "platform/win32types.h"

#ifndef _WIN32

// Access, sharing, disposition and flags of CreateFileA.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001u;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002u;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080u;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

// Comm events (SetCommMask, WaitCommEvent).
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;
constexpr DWORD EV_PERR = 0x0200;
constexpr DWORD EV_RX80FULL = 0x0400;
constexpr DWORD EV_EVENT1 = 0x0800;
constexpr DWORD EV_EVENT2 = 0x1000;

// PurgeComm.
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

// Line errors (ClearCommError).
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;
constexpr DWORD CE_TXFULL = 0x0100;
constexpr DWORD CE_PTO = 0x0200;
constexpr DWORD CE_IOE = 0x0400;
constexpr DWORD CE_DNS = 0x0800;
constexpr DWORD CE_OOP = 0x1000;
constexpr DWORD CE_MODE = 0x8000;

// Modem input lines (GetCommModemStatus).
constexpr DWORD MS_CTS_ON = 0x0010;
constexpr DWORD MS_DSR_ON = 0x0020;
constexpr DWORD MS_RING_ON = 0x0040;
constexpr DWORD MS_RLSD_ON = 0x0080;

// EscapeCommFunction.
constexpr DWORD SETXOFF = 1;
constexpr DWORD SETXON = 2;
constexpr DWORD SETRTS = 3;
constexpr DWORD CLRRTS = 4;
constexpr DWORD SETDTR = 5;
constexpr DWORD CLRDTR = 6;
constexpr DWORD SETBREAK = 8;
constexpr DWORD CLRBREAK = 9;

// DCB values.
constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;
constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

constexpr DWORD CBR_110 = 110;
constexpr DWORD CBR_300 = 300;
constexpr DWORD CBR_600 = 600;
constexpr DWORD CBR_1200 = 1200;
constexpr DWORD CBR_2400 = 2400;
constexpr DWORD CBR_4800 = 4800;
constexpr DWORD CBR_9600 = 9600;
constexpr DWORD CBR_14400 = 14400;
constexpr DWORD CBR_19200 = 19200;
constexpr DWORD CBR_38400 = 38400;
constexpr DWORD CBR_56000 = 56000;
constexpr DWORD CBR_57600 = 57600;
constexpr DWORD CBR_115200 = 115200;
constexpr DWORD CBR_128000 = 128000;
constexpr DWORD CBR_256000 = 256000;

// Waits.
constexpr DWORD WAIT_OBJECT_0 = 0x00000000u;
constexpr DWORD WAIT_ABANDONED_0 = 0x00000080u;
constexpr DWORD WAIT_TIMEOUT = 0x00000102u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// OVERLAPPED.Internal while a request is in progress.
constexpr ULONG_PTR STATUS_PENDING = 0x00000103u;

struct SECURITY_ATTRIBUTES
{
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES *;

// Device-control block; bit fields in the Windows order (fBinary is bit 0 of the flag word).
struct DCB
{
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using LPDCB = DCB *;
static_assert(sizeof(DCB) == 28, "DCB must keep the Windows layout");

struct COMMTIMEOUTS
{
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS *;

struct COMSTAT
{
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
};
using LPCOMSTAT = COMSTAT *;

struct OVERLAPPED
{
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct
        {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        LPVOID Pointer;
    };
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED *;

// Files: only comm devices are supported. Exclusive whatever the share mode; a name that
// resolves to no device fails with 2, a device held by another opener with 5.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
// Comm handles: ends pending requests with 995 and stops the I/O thread, never blocking on
// the device. Event handles: the event lives on while a wait still uses it.
BOOL CloseHandle(HANDLE hObject);

BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD dwOutQueue);
BOOL SetCommState(HANDLE hFile, LPDCB lpDCB);
BOOL GetCommState(HANDLE hFile, LPDCB lpDCB);
BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask);
BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask);
BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped);
BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
// A write completes once its bytes have left the driver's queue. Success means the driver
// reported them sent, not that the far end got them: a USB driver that drops its transfers
// when its adapter is pulled reports an empty queue, without error, for the 15-20 ms before
// the hang-up, and a write all of whose bytes were in that driver then completes as a
// success although the device lost them. The layer cannot tell the two apart; what must
// arrive is confirmed above it (the module acknowledges each setting written).
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat);
BOOL PurgeComm(HANDLE hFile, DWORD dwFlags);
// Returns once everything written has left the port (121 when the far end takes nothing).
BOOL FlushFileBuffers(HANDLE hFile);
BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat);
// Switches an output line or the transmitter's hold. DTR and RTS return at once with the line
// set; they are refused (87) while the DCB has the line under handshake (DTR) or under
// handshake or toggle (RTS), and a later SetCommState sets them from its DCB again. A break
// holds the line in the spacing state, and output with it, until CLRBREAK. SETXOFF holds
// output as if an XOFF had come (COMSTAT.fXoffHold) until SETXON. Other codes fail with 87. A
// device without modem lines (a pseudo-terminal) accepts DTR and RTS and shows nothing.
BOOL EscapeCommFunction(HANDLE hFile, DWORD dwFunc);
BOOL SetCommBreak(HANDLE hFile);   // EscapeCommFunction(SETBREAK)
BOOL ClearCommBreak(HANDLE hFile); // EscapeCommFunction(CLRBREAK)

// Event objects: unnamed only (a name is accepted and ignored).
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE *lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds);
void Sleep(DWORD dwMilliseconds);

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

#endif
