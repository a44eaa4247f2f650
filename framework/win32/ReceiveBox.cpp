#include "framework/win32/ReceiveBox.h"

#include "framework/core/HandlerGuard.h"
#include "framework/win32/Controls.h"
#include "framework/win32/MainFormLayout.h"
#include "framework/win32/SaveDialog.h"
#include "framework/win32/WideText.h"

#include <windowsx.h>

#include <algorithm>

namespace {

constexpr int HorizontalMargin = 3;
constexpr int VerticalMargin = 1;

// A menu item's identifier: its command's number and 1 (0 is no choice).
UINT menuIdentifier(ReceiveModel::Command command)
{
    return static_cast<UINT>(command) + 1;
}

// The identifier of an item of the owner's choices, above the commands'.
constexpr UINT FirstChoiceItem = 0x100;
constexpr UINT ChoiceItems = 0x40; // items per choice at most

} // namespace

Win32ReceiveBox::Win32ReceiveBox(const ControlSite &site)
    : Win32Control(std::string(site.row->name))
{
    m_accessible.role = ROLE_SYSTEM_TEXT;
    m_accessible.name = layoutProperty(*site.row, "accessibleName");
    m_accessible.addedState = STATE_SYSTEM_READONLY;
    m_accessible.valueFromWindow = true;
    create(site, windowClass(L"ZephraReceiveBox", procedure, nullptr, IDC_IBEAM, CS_DBLCLKS),
           WS_TABSTOP | WS_VSCROLL, WS_EX_CLIENTEDGE);
    relayout();
}

void Win32ReceiveBox::append(std::string_view text)
{
    if (text.empty())
        return;
    m_capture.shown(text);
    const std::uint64_t rows = m_model.append(text);
    // Setting the scroll bar costs milliseconds: it follows with the next paint.
    m_scrollBarStale = true;
    const ReceivePacing::Step step = m_pacing.arrived(text.size(), rows, visibleRows());
    if (step.paint) {
        // Painted in this turn of the message loop, which serves waiting paints first.
        KillTimer(m_window, RepaintTimer);
        requestRepaint();
    } else if (step.timerMs > 0 &&
               SetTimer(m_window, RepaintTimer, static_cast<UINT>(step.timerMs), nullptr) == 0) {
        m_pacing.timerStopped();
    }
}

void Win32ReceiveBox::clear()
{
    m_model.clear();
    updateScrollBar();
    InvalidateRect(m_window, nullptr, FALSE);
    fire(onCleared);
}

void Win32ReceiveBox::changed()
{
    updateScrollBar();
    InvalidateRect(m_window, nullptr, FALSE);
}

void Win32ReceiveBox::removeEnd(std::int64_t count)
{
    m_model.removeEnd(static_cast<std::uint64_t>(count));
    changed();
}

std::int64_t Win32ReceiveBox::replaceFront(std::int64_t count, std::string_view prefix)
{
    const std::uint64_t dropped = m_model.replaceFront(static_cast<std::uint64_t>(count), prefix);
    changed();
    return static_cast<std::int64_t>(dropped);
}

void Win32ReceiveBox::choose(int choice, int item)
{
    if (choice >= 0 && m_model.choose(static_cast<std::size_t>(choice), item) && onChoose)
        runGuarded([&] { onChoose(this, choice, item); });
}

void Win32ReceiveBox::select(std::uint64_t anchor, std::uint64_t cursor)
{
    m_model.select(anchor, cursor);
    InvalidateRect(m_window, nullptr, FALSE);
}

std::string Win32ReceiveBox::selectedText() const
{
    return m_model.selectedText();
}

std::string Win32ReceiveBox::shownText() const
{
    return m_model.shownText();
}

void Win32ReceiveBox::selectAll()
{
    m_model.selectAll();
    InvalidateRect(m_window, nullptr, FALSE);
}

void Win32ReceiveBox::copy() const
{
    if (!m_model.hasSelection() || !OpenClipboard(m_window))
        return;
    const std::wstring wide = toWide(selectedText());
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
    if (memory != nullptr) {
        auto *target = static_cast<wchar_t *>(GlobalLock(memory));
        std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, target);
        GlobalUnlock(memory);
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
            GlobalFree(memory);
    }
    CloseClipboard();
}

RECT Win32ReceiveBox::textArea() const
{
    RECT area{};
    GetClientRect(m_window, &area);
    InflateRect(&area, -HorizontalMargin, -VerticalMargin);
    return area;
}

int Win32ReceiveBox::visibleRows() const
{
    const RECT area = textArea();
    return std::max(1, static_cast<int>(area.bottom - area.top) / m_rowHeight);
}

void Win32ReceiveBox::relayout()
{
    HDC dc = GetDC(m_window);
    HGDIOBJ old = SelectObject(dc, m_font != nullptr ? m_font : GetStockObject(ANSI_FIXED_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    // The advance over many cells, not one glyph's rounded width.
    const std::wstring sample(64, L'M');
    SIZE extent{};
    GetTextExtentPoint32W(dc, sample.c_str(), 64, &extent);
    SelectObject(dc, old);
    ReleaseDC(m_window, dc);
    m_cellWidth = std::max<int>(1, (extent.cx + 32) / 64);
    m_rowHeight = std::max<int>(1, metrics.tmHeight + metrics.tmExternalLeading);
    m_ascent = metrics.tmAscent;
    const RECT area = textArea();
    m_layoutWidth = area.right - area.left;
    m_model.setView(m_layoutWidth / m_cellWidth, visibleRows());
    updateScrollBar();
    InvalidateRect(m_window, nullptr, FALSE);
}

void Win32ReceiveBox::updateScrollBar()
{
    m_scrollBarStale = false;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = static_cast<int>(std::min<std::uint64_t>(m_model.text().rowCount() - 1, INT_MAX));
    info.nPage = static_cast<UINT>(visibleRows());
    info.nPos = static_cast<int>(std::min<std::uint64_t>(m_model.topRow(), INT_MAX));
    SetScrollInfo(m_window, SB_VERT, &info, TRUE);
}

void Win32ReceiveBox::scrolled(bool moved)
{
    if (moved) {
        updateScrollBar();
        InvalidateRect(m_window, nullptr, FALSE);
    }
}

std::uint64_t Win32ReceiveBox::offsetAt(int x, int y) const
{
    const RECT area = textArea();
    const int cells = (x - area.left + m_cellWidth / 2) / m_cellWidth;
    return m_model.offsetAt(y > area.top ? (y - area.top) / m_rowHeight : 0,
                            x <= area.left ? 0 : cells);
}

void Win32ReceiveBox::showMenu(int x, int y)
{
    if (x == -1 && y == -1) { // from the keyboard: at the box
        RECT box{};
        GetWindowRect(m_window, &box);
        x = box.left + 8;
        y = box.top + 8;
    }
    HMENU menu = CreatePopupMenu();
    for (const ReceiveModel::MenuItem &item : m_model.menu(savesRunning(), m_capture.running())) {
        if (item.separatorBefore)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        std::wstring text = toWide(item.text);
        if (item.keys != nullptr)
            text += L'\t' + toWide(item.keys);
        AppendMenuW(menu, MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED),
                    menuIdentifier(item.command), text.c_str());
    }
    const std::vector<MenuChoice> &choices = m_model.choices();
    if (!choices.empty())
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (std::size_t c = 0; c < choices.size(); ++c) {
        HMENU sub = CreatePopupMenu();
        for (std::size_t i = 0; i < choices[c].items.size() && i < ChoiceItems; ++i) {
            const bool checked = static_cast<int>(i) == choices[c].chosen;
            AppendMenuW(sub, MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED),
                        FirstChoiceItem + static_cast<UINT>(c * ChoiceItems + i),
                        toWide(choices[c].items[i]).c_str());
        }
        // The submenu belongs to the menu from here on and goes with it.
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub),
                    toWide(choices[c].title).c_str());
    }
    const auto chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, m_window, nullptr));
    DestroyMenu(menu);
    runGuarded([&] {
        using Command = ReceiveModel::Command;
        if (chosen == menuIdentifier(Command::Copy))
            copy();
        else if (chosen == menuIdentifier(Command::SelectAll))
            selectAll();
        else if (chosen == menuIdentifier(Command::SaveAs))
            saveAs();
        else if (chosen == menuIdentifier(Command::Clear))
            clear();
        else if (chosen == menuIdentifier(Command::Capture) && m_capture.running())
            stopCapture();
        else if (chosen == menuIdentifier(Command::Capture))
            captureAs();
        else if (chosen == menuIdentifier(Command::ResetCounters))
            fire(onResetCounters);
        else if (chosen >= FirstChoiceItem)
            choose(static_cast<int>((chosen - FirstChoiceItem) / ChoiceItems),
                   static_cast<int>((chosen - FirstChoiceItem) % ChoiceItems));
    });
}

void Win32ReceiveBox::saveAs()
{
    int form = 0;
    const std::optional<std::wstring> path =
        askSavePath(GetAncestor(m_window, GA_ROOT), "Save As", "",
                    "Text as shown (*.txt);;Bytes as received (*.bin)", &form);
    if (path)
        save(*path, form == 1);
}

void Win32ReceiveBox::captureAs()
{
    int form = 0;
    const std::optional<std::wstring> path =
        askSavePath(GetAncestor(m_window, GA_ROOT), "Capture to file", "",
                    "Text as shown (*.txt);;Bytes as received (*.bin)", &form);
    if (path)
        startCapture(*path, form == 1);
}

void Win32ReceiveBox::startCapture(const std::wstring &path, bool received)
{
    m_capture.start(
        fromWide(path), received ? ReceiveCapture::Form::Received : ReceiveCapture::Form::Text,
        [path] { return openFileInPlace(path); }, [this] { fire(onCaptureChanged); });
    fire(onCaptureChanged);
}

void Win32ReceiveBox::startCapture(const std::string &path, bool received)
{
    // The file system's 8-bit encoding is the system's code page.
    const int size = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    startCapture(wide, received);
}

void Win32ReceiveBox::stopCapture()
{
    m_capture.stop();
    fire(onCaptureChanged);
}

LRESULT CALLBACK Win32ReceiveBox::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *self = dynamic_cast<Win32ReceiveBox *>(Win32Control::of(window));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT Win32ReceiveBox::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFONT:
        m_font = reinterpret_cast<HFONT>(wParam);
        relayout();
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font);
    case WM_SIZE:
        relayout();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        if (m_scrollBarStale)
            updateScrollBar();
        PAINTSTRUCT paintInfo;
        HDC dc = BeginPaint(m_window, &paintInfo);
        paint(dc, paintInfo.rcPaint);
        EndPaint(m_window, &paintInfo);
        m_pacing.painted();
        return 0;
    }
    case WM_TIMER:
        if (wParam == RepaintTimer) {
            KillTimer(m_window, RepaintTimer);
            m_pacing.timerStopped();
            requestRepaint();
        }
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    case WM_KEYDOWN: {
        using Scroll = ReceiveModel::Scroll;
        const bool control = GetKeyState(VK_CONTROL) < 0;
        if (control && wParam == 'C')
            copy();
        else if (control && wParam == 'A')
            selectAll();
        else if (wParam == VK_UP)
            scrolled(m_model.scroll(Scroll::LineUp));
        else if (wParam == VK_DOWN)
            scrolled(m_model.scroll(Scroll::LineDown));
        else if (wParam == VK_PRIOR)
            scrolled(m_model.scroll(Scroll::PageUp));
        else if (wParam == VK_NEXT)
            scrolled(m_model.scroll(Scroll::PageDown));
        else if (wParam == VK_HOME)
            scrolled(m_model.scroll(Scroll::Top));
        else if (wParam == VK_END)
            scrolled(m_model.scroll(Scroll::Bottom));
        return 0;
    }
    case WM_VSCROLL: {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(m_window, SB_VERT, &info);
        using Scroll = ReceiveModel::Scroll;
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            scrolled(m_model.scroll(Scroll::LineUp));
            break;
        case SB_LINEDOWN:
            scrolled(m_model.scroll(Scroll::LineDown));
            break;
        case SB_PAGEUP:
            scrolled(m_model.scroll(Scroll::PageUp));
            break;
        case SB_PAGEDOWN:
            scrolled(m_model.scroll(Scroll::PageDown));
            break;
        case SB_TOP:
            scrolled(m_model.scroll(Scroll::Top));
            break;
        case SB_BOTTOM:
            scrolled(m_model.scroll(Scroll::Bottom));
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            scrolled(m_model.scrollToRow(static_cast<std::uint64_t>(std::max(info.nTrackPos, 0))));
            break;
        default:
            break;
        }
        return 0;
    }
    case WM_MOUSEWHEEL: {
        UINT lines = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
        scrolled(m_model.wheel(GET_WHEEL_DELTA_WPARAM(wParam), WHEEL_DELTA,
                               static_cast<std::int64_t>(lines)));
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(m_window);
        SetCapture(m_window);
        m_model.startSelecting(offsetAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
        InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        if (m_model.selecting()) {
            const int y = GET_Y_LPARAM(lParam);
            const RECT area = textArea();
            // Dragging past the top or bottom edge scrolls, so a selection can reach any row.
            if (y < area.top)
                scrolled(m_model.scrollBy(-1));
            else if (y >= area.bottom)
                scrolled(m_model.scrollBy(1));
            m_model.moveSelectionEnd(offsetAt(GET_X_LPARAM(lParam), y));
            InvalidateRect(m_window, nullptr, FALSE);
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (m_model.selecting()) {
            m_model.stopSelecting();
            if (message == WM_LBUTTONUP)
                ReleaseCapture();
        }
        return 0;
    case WM_CONTEXTMENU:
        SetFocus(m_window);
        showMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(std::min<std::uint64_t>(m_model.text().size(), INT_MAX));
    case WM_GETTEXT: {
        if (wParam == 0)
            return 0;
        const std::wstring wide = toWide(m_model.text().slice(0, wParam - 1));
        auto *target = reinterpret_cast<wchar_t *>(lParam);
        std::copy(wide.begin(), wide.end(), target);
        target[wide.size()] = L'\0';
        return static_cast<LRESULT>(wide.size());
    }
    case WM_GETOBJECT:
        return answerGetObject(m_window, wParam, lParam, m_accessible);
    case AccessibleValueMessage:
        *reinterpret_cast<std::string *>(lParam) = shownText();
        return 1;
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

std::unique_ptr<Win32Control> makeReceiveBox(const ControlSite &site)
{
    return std::make_unique<Win32ReceiveBox>(site);
}
