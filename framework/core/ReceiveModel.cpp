#include "framework/core/ReceiveModel.h"

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

std::pair<std::uint64_t, std::uint64_t> ReceiveModel::selectionWithin(std::uint64_t from,
                                                                      std::uint64_t to) const
{
    const auto [first, last] = selection();
    return {std::clamp(first, from, to), std::clamp(last, from, to)};
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
