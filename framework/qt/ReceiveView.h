// Read-only box for a text that only ever grows at its end, possibly by many megabytes and as
// one unbroken line: the test tab's receive box. It shows the same thing as a multi-line box
// without scroll bars that gets the text appended: rows wrapped at the box's width (after the
// last blank that fits, else at the edge), in the box's fixed-pitch font.
//
// The text is kept as Windows-1252 bytes in a WrappedText; appending costs in proportion to
// the bytes appended and paints only the rows in view, at most once per frame, so a flood of
// data never freezes the window. The box keeps the newest text in view while text arrives;
// a user who scrolls back (wheel, arrow and page keys, dragging a selection) stays where he
// is until the view is at the end again. The mouse selects, Ctrl+C copies, Ctrl+A selects all.
// The context menu offers Copy, Select All, "Save As…" and Clear; a save runs on a thread of
// its own, so that tens of megabytes never freeze the window. Bytes below 0x20, DEL and the
// five code points Windows-1252 leaves undefined show as an empty box in their cell. UI
// thread only.
#pragma once

#include "framework/core/BackgroundSave.h"
#include "framework/core/ReceiveCapture.h"
#include "framework/core/ReceiveModel.h"
#include "framework/core/ReceivePacing.h"

#include <QFrame>
#include <QRawFont>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ReceiveView : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(bool readOnly READ isReadOnly)

public:
    explicit ReceiveView(QWidget *parent = nullptr);

    // Appends Windows-1252 text; each byte takes one character cell, but a '\n' ends its row.
    void append(std::string_view text);
    // Empties the box and says so with cleared().
    void clear();
    // Takes back the last count bytes.
    void removeEnd(std::uint64_t count);
    // Drops the leading rows within the first count bytes for prefix; the bytes dropped.
    std::uint64_t replaceFront(std::uint64_t count, std::string_view prefix);

    // The owner's choices in the context menu, below its commands.
    const std::vector<MenuChoice> &choices() const { return m_model.choices(); }
    void setChoices(std::vector<MenuChoice> choices) { m_model.setChoices(std::move(choices)); }
    // Picks an item as the menu does: checks it and says so with chosen().
    void choose(int choice, int item);

    // What a save writes: the text as the box shows it, or the bytes as received.
    using SaveForm = ReceiveModel::SaveForm;
    // Makes, on the UI thread, a function that the saving thread calls to get the bytes
    // behind the text as it is at that moment (textSnapshot() gives the text without copying
    // it). Without one the text is its own bytes.
    using ReceivedSource = std::function<std::function<std::string()>()>;
    void setReceivedSource(ReceivedSource source) { m_receivedSource = std::move(source); }
    // Starts writing the file in the background and returns; a failure goes to the
    // application's exception report.
    void save(const QString &path, SaveForm form);
    // Asks for a file and its form ("SaveReceivedDialog"), then saves.
    void saveAs();
    // Saves started and not finished yet.
    int savesRunning() const { return m_saves.running(); }

    // Writes from now on the bytes handed to captureReceived, or the text as appended, to the
    // file, until stopped; a failure is reported and ends it. Says so with captureChanged().
    void startCapture(const QString &path, bool received);
    void stopCapture();
    // Asks for a file and its form ("CaptureReceivedDialog"), then starts the capture.
    void captureAs();
    void captureReceived(std::string_view bytes) { m_capture.received(bytes); }
    // The running capture's file; empty when none runs.
    std::string captureName() const { return m_capture.name(); }

    std::string text() const { return m_model.allText(); }
    // The text as it is now, for another thread; shares the box's memory.
    WrappedText::Snapshot textSnapshot() const { return m_model.text().snapshot(); }
    QString toPlainText() const;
    bool isReadOnly() const { return true; }

    // The wrapped rows and which of them are in view.
    const WrappedText &wrapped() const { return m_model.text(); }
    QString rowText(std::uint64_t row) const;
    std::uint64_t topRow() const { return m_model.topRow(); }
    // Rows that fit the box entirely (at least 1).
    int visibleRows() const;
    // The last row is in view, so text that arrives is shown as it comes.
    bool atEnd() const { return m_model.atEnd(); }
    // Scrolls as the user does: clamped to the text; following the end again once there.
    void scrollToRow(std::uint64_t row);

    bool hasSelection() const { return m_model.hasSelection(); }
    // The caret's offset, and the selection as [first, last) offsets (both the caret when
    // nothing is selected).
    std::uint64_t cursorOffset() const { return m_model.cursor(); }
    std::pair<std::uint64_t, std::uint64_t> selectionRange() const { return m_model.selection(); }
    // Selects from anchor to cursor (either way round; equal places only the caret), clamped
    // to the text.
    void select(std::uint64_t anchor, std::uint64_t cursor);
    // Where the character at offset is drawn in the box; null when its row is out of view.
    QRect characterCell(std::uint64_t offset) const;
    // The character boundary nearest to a point of the box.
    std::uint64_t offsetAt(QPoint point) const;
    QString selectedText() const;
    void selectAll();
    void copy() const;

    QSize sizeHint() const override;

signals:
    void cleared();
    void captureChanged();
    // The menu's "Reset counters" was chosen.
    void resetCountersChosen();
    void chosen(int choice, int item);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QRect textArea() const;
    // Cell size from the font, row width from the box; rewraps when the width changed.
    void relayout();
    // Shows the text scrolled, when it moved.
    void scrolled(bool moved);
    // Does what the context menu's item says.
    void run(ReceiveModel::Command command);
    void paintRow(QPainter &painter, std::uint64_t row, qreal top);
    // Draws count cells of bytes from origin, one glyph per cell, without laying the text out
    // again; false when the font lacks one of their glyphs.
    bool paintCells(QPainter &painter, const char *bytes, std::size_t count, QPointF origin);
    // The same through the text engine, which finds a glyph in another font where need be.
    void paintCellsAsText(QPainter &painter, const char *bytes, std::size_t count, QPointF origin);
    void requestRepaint();
    // Asks for a file to write and its form; empty when cancelled.
    std::pair<QString, bool> askFile(const QString &title, const char *dialogName);

    ReceiveModel m_model;

    qreal m_cellWidth = 1;
    int m_rowHeight = 1;
    int m_ascent = 0;
    bool m_fixedPitch = true;
    // The box font's glyph for each byte's cell character, 0 where the font has none.
    QRawFont m_rawFont;
    std::array<quint32, 256> m_glyphs{};
    int m_layoutWidth = -1; // text area width the rows are wrapped for

    QTimer m_repaintTimer;
    ReceivePacing m_pacing;

    ReceivedSource m_receivedSource;
    ReceiveCapture m_capture;
    // Declared last: destroyed first, it waits for running saves while the rest still exists.
    BackgroundSave m_saves;
};
