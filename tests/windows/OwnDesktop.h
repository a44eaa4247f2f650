// Under Wine, windows live on the display of the session's first program, whatever display a
// later one was given. A test whose windows need the display it was given runs itself again on
// a desktop of its own: the first process waits for that second one and gives its exit code;
// in the second, nothing is returned and the tests run.
#pragma once

#include <windows.h>

#include <optional>

inline std::optional<int> rerunOnOwnDesktop(const wchar_t *desktop)
{
    if (GetEnvironmentVariableW(L"ZEPHRA_TEST_DESKTOP", nullptr, 0) != 0)
        return std::nullopt;
    SetEnvironmentVariableW(L"ZEPHRA_TEST_DESKTOP", L"1");
    CreateDesktopW(desktop, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = const_cast<wchar_t *>(desktop);
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, GetCommandLineW(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &child))
        return 2;
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 2;
    GetExitCodeProcess(child.hProcess, &code);
    return static_cast<int>(code);
}
