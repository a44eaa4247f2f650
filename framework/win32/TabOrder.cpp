#include "framework/win32/TabOrder.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace {

bool isTabStrip(HWND window)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return lstrcmpiW(name, WC_TABCONTROLW) == 0;
}

// The system's walk ends where it started; a window that is not a stop ends it too (the walk
// of a container without any).
void collect(HWND container, std::vector<HWND> &order)
{
    for (HWND stop = GetNextDlgTabItem(container, nullptr, FALSE);
         stop != nullptr && IsChild(container, stop) &&
         (GetWindowLongW(stop, GWL_STYLE) & WS_TABSTOP) != 0 &&
         std::find(order.begin(), order.end(), stop) == order.end();
         stop = GetNextDlgTabItem(container, stop, FALSE)) {
        order.push_back(stop);
        if (isTabStrip(stop))
            collect(stop, order);
    }
}

} // namespace

HWND nextTabStop(HWND from, bool backwards)
{
    std::vector<HWND> order;
    collect(GetAncestor(from, GA_ROOT), order);
    if (order.empty())
        return nullptr;
    // The stops from is, is in, or holds (a group whose own window has the focus).
    const bool holds = !isTabStrip(from);
    const std::size_t count = order.size();
    std::size_t first = count, last = count;
    for (std::size_t i = 0; i < count; ++i) {
        if (order[i] == from || (holds && IsChild(from, order[i])) ||
            (!isTabStrip(order[i]) && IsChild(order[i], from))) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first == count)
        return backwards ? order.back() : order.front();
    return backwards ? order[(first + count - 1) % count] : order[(last + 1) % count];
}

HWND firstTabStop(HWND container)
{
    std::vector<HWND> order;
    collect(container, order);
    return order.empty() ? nullptr : order.front();
}

void focusTabStop(HWND stop)
{
    if ((SendMessageW(stop, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0)
        SendMessageW(stop, EM_SETSEL, 0, -1);
    SetFocus(stop);
}
