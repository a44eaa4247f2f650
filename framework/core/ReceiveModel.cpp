#include "framework/core/ReceiveModel.h"

#include "framework/core/AnsiText.h"

namespace {

// A save converts and writes the text in pieces of this many bytes.
constexpr std::uint64_t SavePiece = std::uint64_t{1} << 20;

} // namespace

std::uint64_t ReceiveModel::append(std::string_view bytes)
{
    const std::uint64_t rowsBefore = m_text.rowCount();
    m_text.append(bytes);
    if (m_following)
        m_topRow = maxTopRow();
    return m_text.rowCount() - rowsBefore;
}

void ReceiveModel::clear()
{
    m_text.clear();
    m_topRow = 0;
    m_following = true;
    m_anchor = m_cursor = 0;
    m_selecting = false;
}

void ReceiveModel::removeEnd(std::uint64_t count)
{
    m_text.truncate(m_text.size() - std::min(count, m_text.size()));
    select(m_anchor, m_cursor);
    m_topRow = m_following ? maxTopRow() : std::min(m_topRow, maxTopRow());
}

std::uint64_t ReceiveModel::replaceFront(std::uint64_t count, std::string_view prefix)
{
    const std::uint64_t rowsBefore = m_text.rowCount();
    const std::uint64_t dropped = m_text.replaceFront(count, prefix);
    if (dropped == 0)
        return 0;
    const std::uint64_t shift = dropped - prefix.size();
    const auto moved = [&](std::uint64_t offset) { return offset >= dropped ? offset - shift : 0; };
    m_anchor = moved(m_anchor);
    m_cursor = moved(m_cursor);
    const std::uint64_t rowsAfter = m_text.rowCount();
    const std::uint64_t rowsGone = rowsBefore > rowsAfter ? rowsBefore - rowsAfter : 0;
    m_topRow = m_following ? maxTopRow() : (m_topRow > rowsGone ? m_topRow - rowsGone : 0);
    return dropped;
}

void ReceiveModel::setView(int columns, int rows)
{
    m_visibleRows = std::max(1, rows);
    const std::uint64_t firstShown = m_text.rowStart(std::min(m_topRow, m_text.rowCount() - 1));
    m_text.setColumns(columns);
    m_topRow = m_following ? maxTopRow() : std::min(m_text.rowOf(firstShown), maxTopRow());
}

std::uint64_t ReceiveModel::maxTopRow() const
{
    const auto shown = static_cast<std::uint64_t>(m_visibleRows);
    return m_text.rowCount() > shown ? m_text.rowCount() - shown : 0;
}

bool ReceiveModel::scrollToRow(std::uint64_t row)
{
    const std::uint64_t top = std::min(row, maxTopRow());
    m_following = top == maxTopRow();
    if (top == m_topRow)
        return false;
    m_topRow = top;
    return true;
}

bool ReceiveModel::scrollBy(std::int64_t rows)
{
    if (rows < 0) {
        const auto up = static_cast<std::uint64_t>(-rows);
        return scrollToRow(m_topRow > up ? m_topRow - up : 0);
    }
    return scrollToRow(m_topRow + static_cast<std::uint64_t>(rows));
}

bool ReceiveModel::scroll(Scroll step)
{
    const auto page = static_cast<std::int64_t>(m_visibleRows);
    switch (step) {
    case Scroll::LineUp:
        return scrollBy(-1);
    case Scroll::LineDown:
        return scrollBy(1);
    case Scroll::PageUp:
        return scrollBy(-page);
    case Scroll::PageDown:
        return scrollBy(page);
    case Scroll::Top:
        return scrollToRow(0);
    case Scroll::Bottom:
        return scrollToRow(maxTopRow());
    }
    return false;
}

bool ReceiveModel::wheel(int delta, int notchDelta, std::int64_t linesPerNotch)
{
    m_wheelRemainder += delta;
    const int notches = m_wheelRemainder / notchDelta;
    m_wheelRemainder -= notches * notchDelta;
    if (notches == 0)
        return false;
    return scrollBy(-static_cast<std::int64_t>(notches) * linesPerNotch);
}

std::array<ReceiveModel::Run, 3> ReceiveModel::rowRuns(std::uint64_t row) const
{
    const std::uint64_t start = m_text.rowStart(row);
    const std::uint64_t end = m_text.rowEnd(row);
    const auto [first, last] = selection();
    const std::uint64_t from = std::clamp(first, start, end);
    const std::uint64_t to = std::clamp(last, start, end);
    return {{{start, from, false}, {from, to, true}, {to, end, false}}};
}

void ReceiveModel::select(std::uint64_t anchor, std::uint64_t cursor)
{
    m_anchor = std::min(anchor, m_text.size());
    m_cursor = std::min(cursor, m_text.size());
}

std::string ReceiveModel::selectedText() const
{
    const auto [first, last] = selection();
    return m_text.slice(first, last);
}

void ReceiveModel::startSelecting(std::uint64_t offset)
{
    m_anchor = m_cursor = offset;
    m_selecting = true;
}

std::uint64_t ReceiveModel::offsetAt(std::int64_t viewRow, std::int64_t column) const
{
    std::uint64_t row = m_topRow;
    if (viewRow > 0)
        row += static_cast<std::uint64_t>(viewRow);
    row = std::min(row, m_text.rowCount() - 1);
    const std::uint64_t cells = column > 0 ? static_cast<std::uint64_t>(column) : 0;
    return std::min(m_text.rowStart(row) + cells, m_text.rowEnd(row));
}

std::string ReceiveModel::shownText() const
{
    std::string shown;
    const std::uint64_t rows = m_text.rowCount();
    const std::uint64_t end = std::min(rows, m_topRow + static_cast<std::uint64_t>(m_visibleRows));
    for (std::uint64_t row = m_topRow; row < end; ++row) {
        const std::uint64_t cellsEnd = m_text.rowEnd(row);
        const std::uint64_t next = row + 1 < rows ? m_text.rowStart(row + 1) : cellsEnd;
        shown += m_text.slice(m_text.rowStart(row), std::min(next, cellsEnd + 1));
    }
    return shown;
}

std::array<ReceiveModel::MenuItem, 6> ReceiveModel::menu(int savesRunning, bool capturing) const
{
    const bool empty = m_text.size() == 0;
    return {{{Command::Copy, "&Copy", "Ctrl+C", false, hasSelection()},
             {Command::SelectAll, "Select &All", "Ctrl+A", false, !empty},
             {Command::SaveAs, "&Save As\x85", nullptr, true, !empty && savesRunning == 0},
             {Command::Clear, "C&lear", nullptr, false, !empty},
             {Command::Capture, capturing ? "S&top capture" : "Ca&pture to file\x85", nullptr, true,
              true},
             {Command::ResetCounters, "&Reset counters", nullptr, false, true}}};
}

bool ReceiveModel::choose(std::size_t choice, int item)
{
    if (choice >= m_choices.size() || item < 0 ||
        static_cast<std::size_t>(item) >= m_choices[choice].items.size())
        return false;
    m_choices[choice].chosen = item;
    return true;
}

BackgroundSave::Content ReceiveModel::saveContent(SaveForm form,
                                                  std::function<std::string()> received) const
{
    if (form == SaveForm::Text) {
        return [text = m_text.snapshot()](const auto &write) {
            for (std::uint64_t at = 0; at < text.size(); at += SavePiece)
                write(ansiToUtf8(text.slice(at, at + SavePiece)));
        };
    }
    if (!received)
        received = [text = m_text.snapshot()] { return text.slice(0, text.size()); };
    return [received = std::move(received)](const auto &write) { write(received()); };
}
