// The one translation from errno values to the Win32 error numbers GetLastError reports.
// Pure; callable from any thread.
#pragma once

#include "platform/win32types.h"

// Unknown errno values become ERROR_GEN_FAILURE (31).
DWORD win32ErrorFromErrno(int error);
