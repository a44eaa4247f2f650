// The system's open dialog (GetOpenFileNameW) for askOpenFileName.
#include "framework/controls/Services.h"
#include "framework/win32/WideText.h"

#include <windows.h>

#include <commdlg.h>

std::optional<std::string> askOpenFileName(const std::string &title, const std::string &filter)
{
    // "Text files (*.txt)": the text as the dialog lists it, the patterns in its parentheses.
    std::wstring patterns = L"*.*";
    const std::size_t open = filter.rfind('('), close = filter.rfind(')');
    if (open != std::string::npos && close != std::string::npos && close > open + 1) {
        std::string inside = filter.substr(open + 1, close - open - 1);
        for (char &c : inside)
            c = c == ' ' ? ';' : c;
        patterns = inside == "*" ? L"*.*" : toWide(inside);
    }
    const std::wstring filterText = toWide(filter) + L'\0' + patterns + L'\0' + L'\0';
    std::wstring path(32768, L'\0');
    const std::wstring wideTitle = toWide(title);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetActiveWindow();
    dialog.lpstrFilter = filterText.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = wideTitle.c_str();
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt;
    // The file system's 8-bit encoding: the system's code page.
    const int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi.data(), size, nullptr, nullptr);
    ansi.resize(ansi.size() - 1);
    return ansi;
}
