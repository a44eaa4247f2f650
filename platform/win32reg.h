// The registry subset of the Win32 layer: open, create and close keys, and set, query and delete
// typed values, with the Windows names, constants and LONG error results (ERROR_SUCCESS, 2 for a
// missing key or value, 6 for a bad handle, 234 with the needed size for a short buffer, ...).
// Off Windows the keys live in files under $XDG_CONFIG_HOME/zephra/registry/ (default
// ~/.config/zephra/registry/), one file per key; every change is written atomically.
// All functions may be called from any thread.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else

#include "platform/win32types.h"

struct HKEY__;
using HKEY = HKEY__ *;
using PHKEY = HKEY *;
using REGSAM = DWORD;
using LSTATUS = LONG;

// The predefined roots carry the same handle values as on Windows (sign-extended 32-bit).
inline HKEY const HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000000u)));
inline HKEY const HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000001u)));
inline HKEY const HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000002u)));
inline HKEY const HKEY_USERS =
    reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000003u)));
inline HKEY const HKEY_CURRENT_CONFIG =
    reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000005u)));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_RESOURCE_LIST = 8;
constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
constexpr DWORD REG_RESOURCE_REQUIREMENTS_LIST = 10;
constexpr DWORD REG_QWORD = 11;
constexpr DWORD REG_QWORD_LITTLE_ENDIAN = 11;

// Access rights of a key handle.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;

// Options of RegCreateKeyExA; only non-volatile keys are kept here.
constexpr DWORD REG_OPTION_RESERVED = 0x0000;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0000;
constexpr DWORD REG_OPTION_VOLATILE = 0x0001;

// Dispositions reported by RegCreateKeyExA.
constexpr DWORD REG_CREATED_NEW_KEY = 0x0001;
constexpr DWORD REG_OPENED_EXISTING_KEY = 0x0002;

// Creates a key (and any missing keys above it) or opens it when it exists. lpSubKey is
// relative to hKey; "" opens hKey itself again. lpClass and lpSecurityAttributes are ignored
// (any SECURITY_ATTRIBUTES pointer converts to its const void * parameter).
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const void *lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);

// Opens an existing key; a missing one gives ERROR_FILE_NOT_FOUND. NULL or "" reopens hKey.
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);

// Releases a handle from RegCreateKeyExA or RegOpenKeyExA (a predefined root is accepted).
LONG RegCloseKey(HKEY hKey);

// Creates or replaces a value; its type and the cbData bytes at lpData are kept exactly.
// NULL or "" names the key's default value. Needs KEY_SET_VALUE.
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE *lpData,
                    DWORD cbData);

// Reports a value's type, size and bytes. With lpData NULL only type and size are reported;
// a buffer smaller than the value gives ERROR_MORE_DATA with the needed size in *lpcbData.
// A missing value gives ERROR_FILE_NOT_FOUND. Needs KEY_QUERY_VALUE.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData);

// Removes a value; a missing one gives ERROR_FILE_NOT_FOUND. Needs KEY_SET_VALUE.
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

#endif
