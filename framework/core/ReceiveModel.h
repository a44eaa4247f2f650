// What the receive box shows, apart from how it is drawn: the text wrapped into rows, which
// rows are in view, the rule that keeps the newest text in view until the user scrolls back
// (and again once he is at the end), the selection, the context menu's items and what a save
// writes. The window backends keep the painting, the input and the menu's widgets, and ask this
// for the rest. Toolkit-free; UI thread only.
#pragma once

#include "framework/core/BackgroundSave.h"
#include "framework/core/MenuChoice.h"
#include "framework/core/WrappedText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ReceiveModel
{
public:
    const WrappedText &text() const { return m_text; }
    std::string allText() const { return m_text.slice(0, m_text.size()); }

    // Appends Windows-1252 text, keeping the end in view while following it; returns how many
    // rows the text gained.
    std::uint64_t append(std::string_view bytes);
    // Empties the text, the selection and the scrolling.
    void clear();
    // Takes back the last count bytes, as a row still growing is shown anew.
    void removeEnd(std::uint64_t count);
    // Drops the leading rows within the first count bytes for prefix (which ends in '\n'), as
    // WrappedText::replaceFront does; the rows shown and the selection stay on their text.
    // Returns the bytes dropped.
    std::uint64_t replaceFront(std::uint64_t count, std::string_view prefix);

    // The box's size in character cells: the row width and the rows shown entirely (both at
    // least 1). The first row shown stays in view, or the end while following it.
    void setView(int columns, int rows);
    int visibleRows() const { return m_visibleRows; }

    std::uint64_t topRow() const { return m_topRow; }
    std::uint64_t maxTopRow() const;
    // The last row is in view, so text that arrives is shown as it comes.
    bool atEnd() const { return m_topRow >= maxTopRow(); }
    // Scrolls as the user does: clamped to the text; following the end again once there.
    // True when another row is at the top.
    bool scrollToRow(std::uint64_t row);
    bool scrollBy(std::int64_t rows);
    // What the scrolling keys and the scroll bar's arrows and page areas do; a page is the
    // rows shown.
    enum class Scroll { LineUp, LineDown, PageUp, PageDown, Top, Bottom };
    bool scroll(Scroll step);
    // The wheel turned by delta, notchDelta of it a notch, each notch linesPerNotch rows; what
    // is left of a notch counts with the next turn.
    bool wheel(int delta, int notchDelta, std::int64_t linesPerNotch);

    bool hasSelection() const { return m_anchor != m_cursor; }
    std::uint64_t cursor() const { return m_cursor; }
    // The selection as [first, last) offsets (both the caret when nothing is selected).
    std::pair<std::uint64_t, std::uint64_t> selection() const
    {
        return std::minmax(m_anchor, m_cursor);
    }
    // A row's cells as three runs, each drawn in its own colours: before, inside and after the
    // selection, as [from, to) offsets (a run may be empty).
    struct Run
    {
        std::uint64_t from, to;
        bool selected;
    };
    std::array<Run, 3> rowRuns(std::uint64_t row) const;
    // Selects from anchor to cursor (either way round), clamped to the text.
    void select(std::uint64_t anchor, std::uint64_t cursor);
    void selectAll() { select(0, m_text.size()); }
    std::string selectedText() const;
    // A mouse drag: begun at an offset, its end moved, let go.
    void startSelecting(std::uint64_t offset);
    void moveSelectionEnd(std::uint64_t offset) { m_cursor = offset; }
    void stopSelecting() { m_selecting = false; }
    bool selecting() const { return m_selecting; }

    // The character boundary at a cell: viewRow rows below the top row shown and column cells
    // from the left edge (either below 0 counts as 0), clamped to the text.
    std::uint64_t offsetAt(std::int64_t viewRow, std::int64_t column) const;
    // The text of the rows in view; a row that broke at blanks hanging past the edge keeps
    // one of them, so that its last word and the next row's first stay apart.
    std::string shownText() const;

    // The context menu's commands, in the order it shows them.
    enum class Command { Copy, SelectAll, SaveAs, Clear, Capture, ResetCounters };
    struct MenuItem
    {
        Command command;
        const char *text; // Windows-1252, '&' before the access key
        const char *keys; // the keys that do the same, for menus that show them; or null
        bool separatorBefore;
        bool enabled;
    };
    // The menu as it is now: Copy wants a selection, the rest some text, and the box saves one
    // file at a time. Capture starts a capture, or stops the one that runs.
    std::array<MenuItem, 6> menu(int savesRunning, bool capturing = false) const;
    // The owner's choices, shown below the commands.
    const std::vector<MenuChoice> &choices() const { return m_choices; }
    void setChoices(std::vector<MenuChoice> choices) { m_choices = std::move(choices); }
    // Marks an item of a choice as chosen; false when there is no such item.
    bool choose(std::size_t choice, int item);

    // What a save writes: the text as the box shows it (UTF-8, the desktop's text files), or
    // the bytes the text was made from, as they were received.
    enum class SaveForm { Text, Received };
    // A save's bytes, from the text as it is now; the converting and copying happen on the
    // saving thread. received, when given, makes the bytes as received there; without it the
    // text is its own bytes.
    BackgroundSave::Content saveContent(SaveForm form,
                                        std::function<std::string()> received = {}) const;

private:
    WrappedText m_text{1, true};
    int m_visibleRows = 1;
    std::uint64_t m_topRow = 0;
    bool m_following = true;
    // Selection from anchor to cursor, as text offsets, either way round.
    std::uint64_t m_anchor = 0;
    std::uint64_t m_cursor = 0;
    bool m_selecting = false;
    int m_wheelRemainder = 0;
    std::vector<MenuChoice> m_choices;
};
