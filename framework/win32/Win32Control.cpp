#include "framework/win32/Win32Control.h"

#include "framework/core/HandlerGuard.h"
#include "framework/win32/TabOrder.h"
#include "framework/win32/WideText.h"

bool Win32Control::enabled() const
{
    return IsWindowEnabled(m_window) != FALSE;
}

void Win32Control::setEnabled(bool enabled)
{
    // A disabled window loses the focus and nothing else takes it: the next stop does, as the
    // Tab key would give it, or the keyboard would reach nothing.
    HWND next = !enabled && hasFocus() ? nextTabStop(GetFocus(), false) : nullptr;
    EnableWindow(m_window, enabled);
    if (next != nullptr && next != m_window && !IsChild(m_window, next))
        focusTabStop(next);
}

bool Win32Control::visible() const
{
    return IsWindowVisible(m_window) != FALSE;
}

void Win32Control::setVisible(bool visible)
{
    ShowWindow(m_window, visible ? SW_SHOW : SW_HIDE);
}

bool Win32Control::hasFocus() const
{
    // A control made of several windows (the editable combo box) has the focus in a child.
    const HWND focus = GetFocus();
    return focus != nullptr && (focus == m_window || IsChild(m_window, focus));
}

void Win32Control::setFocus()
{
    SetFocus(m_window);
}

Win32Control *Win32Control::of(HWND window)
{
    return reinterpret_cast<Win32Control *>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void Win32Control::command(HWND, int) {}

LRESULT Win32Control::notify(const NMHDR &)
{
    return 0;
}

void Win32Control::scroll(HWND, int) {}

void Win32Control::rescale(const ControlSite &site)
{
    setFont(site.font);
    place(m_window, site.place);
}

void Win32Control::setFont(HFONT font)
{
    if (font == nullptr)
        return;
    for (HWND window : m_windows)
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void place(HWND window, const RECT &place)
{
    SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Win32Control::create(const ControlSite &site, const wchar_t *className, DWORD style,
                          DWORD exStyle, const std::string &text)
{
    return create(site, site.place, className, style, exStyle, text);
}

HWND Win32Control::create(const ControlSite &site, const RECT &place, const wchar_t *className,
                          DWORD style, DWORD exStyle, const std::string &text)
{
    HWND window = CreateWindowExW(
        exStyle, className, toWide(text).c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
        place.left, place.top, place.right - place.left, place.bottom - place.top, site.parent,
        reinterpret_cast<HMENU>(INT_PTR{site.id}), GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr)
        return nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_windows.push_back(window);
    if (site.font != nullptr)
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(site.font), FALSE);
    if (m_window == nullptr) {
        m_window = window;
        m_tooltips = site.tooltips;
    }
    return window;
}

void Win32Control::fire(const std::function<void(Sender)> &slot)
{
    if (slot)
        runGuarded([&] { slot(this); });
}

void Win32Control::setToolTip(HWND window, const std::string &text)
{
    if (m_tooltips == nullptr)
        return;
    std::wstring wide = toWide(text);
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE; // Common Controls 5 refuses a larger one
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(window);
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = wide.data();
    SendMessageW(m_tooltips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!wide.empty())
        SendMessageW(m_tooltips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool forwardToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)
{
    HWND from = nullptr;
    switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
        from = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        from = reinterpret_cast<const NMHDR *>(lParam)->hwndFrom;
        break;
    default:
        return false;
    }
    Win32Control *control = from != nullptr ? Win32Control::of(from) : nullptr;
    if (control == nullptr)
        return false;
    result = 0;
    if (message == WM_COMMAND)
        control->command(from, HIWORD(wParam));
    else if (message == WM_NOTIFY)
        result = control->notify(*reinterpret_cast<const NMHDR *>(lParam));
    else
        control->scroll(from, LOWORD(wParam));
    return true;
}

namespace {

LRESULT CALLBACK panelProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (forwardToControl(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

const wchar_t *panelClassName()
{
    return windowClass(L"ZephraPanel", panelProcedure, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
}

const wchar_t *windowClass(const wchar_t *name, WNDPROC procedure, HBRUSH background,
                           const char *cursor, UINT style)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &existing))
        return name;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, cursor);
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
    return name;
}
