// The test tab's receive box on Win32: a window of our own over WrappedText, because an EDIT
// cannot take tens of megabytes quickly. It shows the text as the Linux build's receive view
// does: rows of fixed-pitch cells wrapped at the box's width, bytes without a glyph as an
// empty box in their cell; it follows the newest text until the user scrolls back, selects
// with the mouse, copies (Ctrl+C), selects all (Ctrl+A), and its context menu offers Copy,
// Select All, Save As… and Clear. Appending paints at most once per frame, a longer one while
// text streams in; a save runs on a thread of its own. UI thread only.
#pragma once

#include "framework/controls/TextControls.h"
#include "framework/core/BackgroundSave.h"
#include "framework/core/ReceiveCapture.h"
#include "framework/core/ReceiveModel.h"
#include "framework/core/ReceivePacing.h"
#include "framework/win32/Accessible.h"
#include "framework/win32/Win32Control.h"

// A file written in place for the box's save and capture; failures give the system's reason.
std::unique_ptr<BackgroundSave::File> openFileInPlace(const std::wstring &path);

class Win32ReceiveBox : public Win32Control, public virtual ReceiveBox
{
public:
    explicit Win32ReceiveBox(const ControlSite &site);

    void append(std::string_view text) override;
    void clear() override;
    void removeEnd(std::int64_t count) override;
    std::int64_t replaceFront(std::int64_t count, std::string_view prefix) override;
    void setChoices(std::vector<MenuChoice> choices) override
    {
        m_model.setChoices(std::move(choices));
    }
    std::vector<MenuChoice> choices() const override { return m_model.choices(); }
    void choose(int choice, int item) override;
    std::string text() const override { return m_model.allText(); }
    std::int64_t size() const override { return static_cast<std::int64_t>(m_model.text().size()); }
    void setReceivedSource(ReceivedSource source) override { m_source = std::move(source); }

    const WrappedText &wrapped() const { return m_model.text(); }
    std::uint64_t topRow() const { return m_model.topRow(); }
    int visibleRows() const;
    void select(std::uint64_t anchor, std::uint64_t cursor);
    std::string selectedText() const;
    // What a screen reader is given as the box's value: the text of the rows it shows.
    std::string shownText() const;
    // Writes the text (UTF-8, as shown) or the received bytes to path in the background.
    void save(const std::wstring &path, bool received);
    int savesRunning() const { return m_saves.running(); }

    void captureReceived(std::string_view bytes) override { m_capture.received(bytes); }
    void startCapture(const std::string &path, bool received) override;
    void stopCapture() override;
    std::string captureName() const override { return m_capture.name(); }
    // Captures to path (see ReceiveCapture) until stopped.
    void startCapture(const std::wstring &path, bool received);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    RECT textArea() const;
    void relayout();
    // Shows the text scrolled, when it moved.
    void scrolled(bool moved);
    void updateScrollBar();
    // Shows the text after it changed other than at its end.
    void changed();
    void requestRepaint();
    static constexpr UINT_PTR RepaintTimer = 1;
    std::uint64_t offsetAt(int x, int y) const;
    void paint(HDC dc, const RECT &dirty) const;
    void paintRow(HDC dc, std::uint64_t row, int top) const;
    void copy() const;
    void selectAll();
    void saveAs();
    void captureAs();
    void showMenu(int x, int y);

    ReceiveModel m_model;
    HFONT m_font = nullptr;
    int m_cellWidth = 1, m_rowHeight = 1, m_ascent = 1;
    int m_layoutWidth = -1;
    bool m_scrollBarStale = false; // text arrived since the scroll bar was last set
    ReceivePacing m_pacing;
    ReceivedSource m_source;
    ReceiveCapture m_capture;
    AccessibleText m_accessible;
    // Declared last: destroyed first, it waits for running saves while the rest still exists.
    BackgroundSave m_saves;
};
