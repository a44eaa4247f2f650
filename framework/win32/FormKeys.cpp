// The form's keys, as in a tab dialog: Tab and Shift+Tab walk the form's keyboard order (with
// the tab strip in it); Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp change tabs from
// anywhere, as a click on the tab does; Enter presses a focused push button, which the system's
// dialog navigation does only in a dialog box. The rest (the arrow keys) is the system's.
#include "framework/win32/TabOrder.h"
#include "framework/win32/Win32Form.h"

#include <commctrl.h>

namespace {

// The strip of the tab control that holds the focus, else the form's.
HWND tabStripFor(HWND form, HWND focus)
{
    for (HWND window = focus; window != nullptr && window != form; window = GetParent(window)) {
        wchar_t name[32] = {};
        GetClassNameW(window, name, 32);
        if (lstrcmpiW(name, WC_TABCONTROLW) == 0)
            return window;
    }
    return FindWindowExW(form, nullptr, WC_TABCONTROLW, nullptr);
}

bool changeTab(HWND form, HWND focus, int step)
{
    HWND strip = tabStripFor(form, focus);
    const int count = strip != nullptr ? TabCtrl_GetItemCount(strip) : 0;
    if (count == 0)
        return false;
    // Sends the notifications of a click (TCN_SELCHANGING, TCN_SELCHANGE); wraps around.
    TabCtrl_SetCurFocus(strip, (TabCtrl_GetCurSel(strip) + step + count) % count);
    return true;
}

bool pressed(int key)
{
    return GetKeyState(key) < 0;
}

bool formKey(HWND form, WPARAM key)
{
    HWND focus = GetFocus();
    if (pressed(VK_CONTROL) && (key == VK_TAB || key == VK_NEXT || key == VK_PRIOR))
        return changeTab(form, focus,
                         key == VK_PRIOR || (key == VK_TAB && pressed(VK_SHIFT)) ? -1 : 1);
    if (key == VK_TAB && !pressed(VK_CONTROL) && !pressed(VK_MENU)) {
        if (HWND next = nextTabStop(focus != nullptr ? focus : form, pressed(VK_SHIFT)))
            focusTabStop(next);
        return true;
    }
    if (key == VK_RETURN && focus != nullptr && IsWindowEnabled(focus) &&
        (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
        SendMessageW(GetParent(focus), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                     reinterpret_cast<LPARAM>(focus));
        return true;
    }
    return false;
}

} // namespace

bool isDialogMessage(MSG &message)
{
    HWND form = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (form == nullptr || !isFormWindow(form))
        return false;
    // With no focus the keys come to the form as system keys, Alt or not.
    const bool key = message.message == WM_KEYDOWN ||
                     (message.message == WM_SYSKEYDOWN && GetFocus() == nullptr);
    return (key && formKey(form, message.wParam)) || IsDialogMessageW(form, &message);
}
