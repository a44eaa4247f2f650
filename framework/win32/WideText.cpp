#include "framework/win32/WideText.h"

namespace {

constexpr UINT Windows1252 = 1252;

} // namespace

std::wstring toWide(std::string_view ansi)
{
    if (ansi.empty())
        return {};
    const int size = static_cast<int>(ansi.size());
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    const int written = MultiByteToWideChar(Windows1252, 0, ansi.data(), size, wide.data(), size);
    wide.resize(static_cast<std::size_t>(written > 0 ? written : 0));
    return wide;
}

std::string fromWide(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    std::string ansi(static_cast<std::size_t>(size), '\0');
    // Characters without a Windows-1252 byte become "?", as the system's own text functions do.
    const int written =
        WideCharToMultiByte(Windows1252, 0, wide.data(), size, ansi.data(), size, nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(written > 0 ? written : 0));
    return ansi;
}

std::string windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return fromWide(text);
}

void setWindowText(HWND window, const std::string &text)
{
    SetWindowTextW(window, toWide(text).c_str());
}
