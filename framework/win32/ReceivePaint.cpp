// How and when the receive box draws its rows: the bytes of each row in fixed cells, the
// selection in the system's highlight colours, bytes without a glyph as an empty box in their
// cell; new text at most once per frame.
#include "framework/core/AnsiText.h"
#include "framework/win32/ReceiveBox.h"
#include "framework/win32/WideText.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Repaints while text comes in are at most this often; each shows everything so far.
constexpr auto Frame = 16ms;
// While a steady stream comes in faster than anyone reads, at most this often: a repaint
// costs more than the text it shows. The echoes of typing come far slower than a stream,
// so each still shows within Frame.
constexpr auto StreamFrame = 40ms;
// When more rows arrive between two such frames than the box shows, every frame replaces all
// of it and none can be read: then a frame at most this often, and half the drawing.
constexpr auto FloodFrame = 80ms;
constexpr auto StreamWindow = 250ms;
constexpr std::uint64_t StreamCharsPerSecond = 2000;

wchar_t cellCharacter(char byte)
{
    const auto b = static_cast<unsigned char>(byte);
    if (ansiUnprintable(b))
        return L' ';
    // A soft hyphen is drawn as the hyphen the code page's fonts show for it.
    if (b == 0xAD)
        return L'-';
    const std::wstring wide = toWide(std::string_view(&byte, 1));
    return wide.empty() ? L'?' : wide[0];
}

// The code page's conversion once per byte value, not once per cell of every frame.
const std::array<wchar_t, 256> &cellCharacters()
{
    static const std::array<wchar_t, 256> table = [] {
        std::array<wchar_t, 256> characters{};
        for (int byte = 0; byte < 256; ++byte)
            characters[static_cast<std::size_t>(byte)] = cellCharacter(static_cast<char>(byte));
        return characters;
    }();
    return table;
}

} // namespace

void Win32ReceiveBox::noteArrival(std::size_t characters, std::uint64_t rows)
{
    const Clock::time_point now = Clock::now();
    if (now - m_streamWindow > 2 * StreamWindow) {
        // The first text after a quiet spell.
        m_streaming = false;
        m_flooding = false;
        m_streamWindow = now;
        m_streamWindowChars = 0;
        m_streamWindowRows = 0;
    }
    m_streamWindowChars += characters;
    m_streamWindowRows += rows;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - m_streamWindow);
    if (elapsed >= StreamWindow) {
        const auto ms = static_cast<std::uint64_t>(elapsed.count());
        m_streaming = m_streamWindowChars * 1000 >= StreamCharsPerSecond * ms;
        m_flooding = m_streamWindowRows * static_cast<std::uint64_t>(StreamFrame.count()) >=
                     static_cast<std::uint64_t>(visibleRows()) * ms;
        m_streamWindow = now;
        m_streamWindowChars = 0;
        m_streamWindowRows = 0;
    }
}

void Win32ReceiveBox::scheduleRepaint()
{
    // A paint already asked for shows the newest text too.
    if (m_repaintRequested)
        return;
    const auto frame = m_flooding ? FloodFrame : m_streaming ? StreamFrame : Frame;
    const auto since = Clock::now() - m_lastPaint;
    if (since >= frame) {
        // Due: painted in this turn of the message loop (which serves waiting paints before
        // the next arrival), not from a wake-up of its own.
        if (m_repaintTimerRunning)
            KillTimer(m_window, RepaintTimer);
        m_repaintTimerRunning = false;
        requestRepaint();
        return;
    }
    // The timer shows the last text of a burst. While text keeps coming, the arrival that
    // finds the frame due paints it (above), so the timer waits a little beyond the frame.
    if (!m_repaintTimerRunning) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(frame - since + frame / 4);
        m_repaintTimerRunning =
            SetTimer(m_window, RepaintTimer, static_cast<UINT>(wait.count()), nullptr) != 0;
    }
}

void Win32ReceiveBox::requestRepaint()
{
    m_repaintRequested = true;
    // New text changes only the inside: the frame stays as it is.
    const RECT area = textArea();
    InvalidateRect(m_window, &area, FALSE);
}

void Win32ReceiveBox::paint(HDC target, const RECT &dirty) const
{
    RECT client{};
    GetClientRect(m_window, &client);
    // Drawn off screen first: a flood repaints often, and must not flicker.
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, m_font);
    const RECT area = textArea();
    HRGN clip = CreateRectRgnIndirect(&area);
    SelectClipRgn(dc, clip);
    DeleteObject(clip);
    for (std::uint64_t row = m_topRow; row < m_text.rowCount(); ++row) {
        const int top = area.top + static_cast<int>(row - m_topRow) * m_rowHeight;
        if (top >= area.bottom)
            break;
        paintRow(dc, row, top);
    }
    SelectClipRgn(dc, nullptr);
    SelectObject(dc, oldFont);
    BitBlt(target, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, dc,
           dirty.left, dirty.top, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void Win32ReceiveBox::paintRow(HDC dc, std::uint64_t row, int top) const
{
    const std::uint64_t start = m_text.rowStart(row);
    const std::string bytes = m_text.slice(start, m_text.rowEnd(row));
    const auto length = static_cast<std::uint64_t>(bytes.size());
    const std::uint64_t selFrom = std::clamp(std::min(m_anchor, m_cursor), start, start + length);
    const std::uint64_t selTo = std::clamp(std::max(m_anchor, m_cursor), start, start + length);
    const int left = textArea().left;
    const std::array<wchar_t, 256> &characters = cellCharacters();

    // Three runs: before, inside and after the selection, each in its own colours.
    const struct
    {
        std::uint64_t from, to;
        bool selected;
    } runs[] = {{start, selFrom, false}, {selFrom, selTo, true}, {selTo, start + length, false}};
    const std::vector<INT> advances(bytes.size(), m_cellWidth);
    for (const auto &run : runs) {
        if (run.from >= run.to)
            continue;
        const auto first = static_cast<std::size_t>(run.from - start);
        const auto count = static_cast<std::size_t>(run.to - run.from);
        const int x = left + static_cast<int>(first) * m_cellWidth;
        std::wstring cells(count, L' ');
        for (std::size_t i = 0; i < count; ++i)
            cells[i] = characters[static_cast<unsigned char>(bytes[first + i])];
        const COLORREF text = GetSysColor(run.selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
        SetTextColor(dc, text);
        SetBkColor(dc, GetSysColor(run.selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        const RECT cellsRect{x, top, x + static_cast<int>(count) * m_cellWidth, top + m_rowHeight};
        ExtTextOutW(dc, x, top, ETO_OPAQUE, &cellsRect, cells.c_str(), static_cast<UINT>(count),
                    advances.data());
        HPEN pen = CreatePen(PS_SOLID, 1, text);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        for (std::size_t i = 0; i < count; ++i) {
            if (!ansiUnprintable(static_cast<unsigned char>(bytes[first + i])))
                continue;
            const int cellLeft = x + static_cast<int>(i) * m_cellWidth;
            const int boxTop = top + m_ascent * 3 / 10;
            Rectangle(dc, cellLeft + m_cellWidth / 5, boxTop, cellLeft + m_cellWidth * 4 / 5,
                      top + m_ascent + 1);
        }
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }
}
