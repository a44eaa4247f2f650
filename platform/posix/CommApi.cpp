// The Win32 comm functions: handle and argument checks, the overlapped or synchronous form of
// each request, and the last-error number. The work itself is CommPort's.
#include "platform/ComNames.h"
#include "platform/posix/CommPort.h"
#include "platform/posix/HandleTable.h"
#include "platform/win32.h"

namespace {

std::shared_ptr<CommPort> findPort(HANDLE handle)
{
    return HandleTable::findAs<CommPort>(handle, KernelObject::Kind::Comm);
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// Successful calls leave the last error as it was.
BOOL finish(DWORD error)
{
    return error == ERROR_SUCCESS ? TRUE : fail(error);
}

// Runs one request. On an overlapped handle it uses the caller's OVERLAPPED and hEvent and may
// end pending (FALSE, 997); on a synchronous handle it waits for the end on a private one.
template<class Submit>
BOOL runRequest(CommPort &port, OVERLAPPED *overlapped, DWORD *countOut, Submit submit)
{
    if (countOut)
        *countOut = 0;
    DWORD count = 0;
    if (port.isOverlapped()) {
        if (!overlapped)
            return fail(ERROR_INVALID_PARAMETER);
        std::shared_ptr<EventObject> event = Sync::eventOf(overlapped);
        if (!event && overlapped->hEvent)
            return fail(ERROR_INVALID_HANDLE);
        const DWORD error = submit(overlapped, std::move(event), count);
        if (error == ERROR_SUCCESS && countOut)
            *countOut = count;
        return finish(error);
    }
    OVERLAPPED own{};
    DWORD error = submit(&own, nullptr, count);
    if (error == ERROR_IO_PENDING) {
        Sync::waitRequest(&own);
        ULONG_PTR status = 0;
        ULONG_PTR transferred = 0;
        Sync::requestResult(&own, status, transferred);
        count = DWORD(transferred);
        error = status == 0 ? ERROR_SUCCESS : Sync::errorFromStatus(status);
    }
    if (countOut)
        *countOut = count;
    return finish(error);
}

} // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE)
{
    if (!lpFileName || dwCreationDisposition < CREATE_NEW ||
        dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = comDevicePath(lpFileName);
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // A comm device has one opener whatever the share mode asks, as on Windows.
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<CommPort> port = CommPort::open(
        path, dwDesiredAccess, (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0, error);
    if (!port) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return HandleTable::insert(std::move(port));
}

BOOL CloseHandle(HANDLE hObject)
{
    std::shared_ptr<KernelObject> object = HandleTable::remove(hObject);
    if (!object)
        return fail(ERROR_INVALID_HANDLE);
    object->onClose();
    return TRUE;
}

BOOL SetupComm(HANDLE hFile, DWORD dwInQueue, DWORD)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return finish(port->setupComm(dwInQueue));
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    if (!lpDCB)
        return fail(ERROR_INVALID_PARAMETER);
    return finish(port->setState(*lpDCB));
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    if (!lpDCB)
        return fail(ERROR_INVALID_PARAMETER);
    return finish(port->getState(*lpDCB));
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    if (!lpCommTimeouts)
        return fail(ERROR_INVALID_PARAMETER);
    return finish(port->setTimeouts(*lpCommTimeouts));
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    if (!lpCommTimeouts)
        return fail(ERROR_INVALID_PARAMETER);
    return finish(port->getTimeouts(*lpCommTimeouts));
}

BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return finish(port->setMask(dwEvtMask));
}

BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    if (!lpEvtMask)
        return fail(ERROR_INVALID_PARAMETER);
    return finish(port->getMask(*lpEvtMask));
}

BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return runRequest(*port, lpOverlapped, nullptr,
                      [&](OVERLAPPED *overlapped, std::shared_ptr<EventObject> event, DWORD &) {
                          return port->waitEvent(lpEvtMask, overlapped, std::move(event));
                      });
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return runRequest(
        *port, lpOverlapped, lpNumberOfBytesRead,
        [&](OVERLAPPED *overlapped, std::shared_ptr<EventObject> event, DWORD &count) {
            return port->read(lpBuffer, nNumberOfBytesToRead, overlapped, std::move(event), count);
        });
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return runRequest(*port, lpOverlapped, lpNumberOfBytesWritten,
                      [&](OVERLAPPED *overlapped, std::shared_ptr<EventObject> event, DWORD &) {
                          return port->write(lpBuffer, nNumberOfBytesToWrite, overlapped,
                                             std::move(event));
                      });
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    DWORD errors = 0;
    COMSTAT stat{};
    const DWORD error = port->clearError(errors, stat);
    if (error != ERROR_SUCCESS)
        return fail(error);
    if (lpErrors)
        *lpErrors = errors;
    if (lpStat)
        *lpStat = stat;
    return TRUE;
}

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return finish(port->purge(dwFlags));
}

BOOL FlushFileBuffers(HANDLE hFile)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return finish(port->flush());
}

BOOL GetCommModemStatus(HANDLE hFile, LPDWORD lpModemStat)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    if (!lpModemStat)
        return fail(ERROR_INVALID_PARAMETER);
    return finish(port->modemStatus(*lpModemStat));
}

BOOL EscapeCommFunction(HANDLE hFile, DWORD dwFunc)
{
    std::shared_ptr<CommPort> port = findPort(hFile);
    if (!port)
        return fail(ERROR_INVALID_HANDLE);
    return finish(port->escape(dwFunc));
}

BOOL SetCommBreak(HANDLE hFile)
{
    return EscapeCommFunction(hFile, SETBREAK);
}

BOOL ClearCommBreak(HANDLE hFile)
{
    return EscapeCommFunction(hFile, CLRBREAK);
}
