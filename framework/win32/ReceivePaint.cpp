// How and when the receive box draws its rows: the bytes of each row in fixed cells, the
// selection in the system's highlight colours, bytes without a glyph as an empty box in their
// cell.
#include "framework/core/AnsiText.h"
#include "framework/win32/ReceiveBox.h"
#include "framework/win32/WideText.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

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

void Win32ReceiveBox::requestRepaint()
{
    m_pacing.paintRequested();
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
    const std::uint64_t first = m_model.topRow();
    for (std::uint64_t row = first; row < m_model.text().rowCount(); ++row) {
        const int top = area.top + static_cast<int>(row - first) * m_rowHeight;
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
    const WrappedText &wrapped = m_model.text();
    const std::uint64_t start = wrapped.rowStart(row);
    const std::string bytes = wrapped.slice(start, wrapped.rowEnd(row));
    const int left = textArea().left;
    const std::array<wchar_t, 256> &characters = cellCharacters();
    const std::vector<INT> advances(bytes.size(), m_cellWidth);
    for (const ReceiveModel::Run &run : m_model.rowRuns(row)) {
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
