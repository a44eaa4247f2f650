#include "framework/win32/Dpi.h"

namespace {

template<class Function> Function fromUser32(const char *name)
{
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

int systemDpi()
{
    HDC screen = GetDC(nullptr);
    const int perInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return perInch > 0 ? perInch : 96;
}

} // namespace

int scaled(int pixels, int dpi)
{
    return MulDiv(pixels, dpi, 96);
}

int windowDpi(HWND window)
{
    using DpiForWindow = UINT(WINAPI *)(HWND);
    static const auto forWindow = fromUser32<DpiForWindow>("GetDpiForWindow");
    const UINT dpi = window != nullptr && forWindow != nullptr ? forWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : systemDpi();
}

SIZE frameSize(int width, int height, DWORD style, DWORD exStyle, int dpi)
{
    using AdjustForDpi = BOOL(WINAPI *)(RECT *, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = fromUser32<AdjustForDpi>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, width, height};
    if (adjustForDpi == nullptr || !adjustForDpi(&frame, style, FALSE, exStyle, dpi))
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}
