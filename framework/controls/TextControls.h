// Controls that show or take text: label, one-line edit, multi-line memo and the test tab's
// receive box.
#pragma once

#include "framework/controls/Control.h"
#include "framework/core/MenuChoice.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class Label : public virtual Control
{
public:
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string &caption) = 0;
};

class Edit : public virtual Control
{
public:
    virtual std::string text() const = 0;
    // Runs onChange when the text differs.
    virtual void setText(const std::string &text) = 0;
    virtual void clear() { setText({}); }
    virtual bool readOnly() const = 0;
    // Tool tip (hint) shown over the control; empty for none.
    virtual void setHint(const std::string &hint) = 0;
    std::function<void(Sender)> onChange;

    // The owner's choices, after the toolkit's own items in the context menu; a choice with no
    // items is a plain command.
    void setChoices(std::vector<MenuChoice> choices) { m_choices = std::move(choices); }
    const std::vector<MenuChoice> &choices() const { return m_choices; }
    // Picks an item of a choice (-1 for a command) as the menu does: checks it and runs
    // onChoose.
    void choose(int choice, int item)
    {
        if (choice < 0 || choice >= static_cast<int>(m_choices.size()))
            return;
        MenuChoice &picked = m_choices[static_cast<std::size_t>(choice)];
        const int items = static_cast<int>(picked.items.size());
        if (items == 0 ? item != -1 : item < 0 || item >= items)
            return;
        if (items != 0)
            picked.chosen = item;
        if (onChoose)
            onChoose(this, choice, item);
    }
    std::function<void(Sender, int choice, int item)> onChoose;

private:
    std::vector<MenuChoice> m_choices;
};

class Memo : public Edit
{
public:
    // As the user types the character at the caret: onKeyPress runs, then what it left goes in.
    virtual void type(char key) = 0;
    // A typed character, as Windows-1252; the slot may change it, and 0 swallows it.
    std::function<void(Sender, char &key)> onKeyPress;
};

// The read-only box of received text that grows at its end (see the Qt backend's ReceiveView
// for how it stays quick with megabytes); a row still growing may be taken back and shown
// anew, and the oldest rows may give way to a note. Its context menu (copy, select all, save
// as, clear, capture to file, reset counters) belongs to the backend; the owner's choices
// follow them.
class ReceiveBox : public virtual Control
{
public:
    // Appends Windows-1252 text; each byte takes one character cell.
    virtual void append(std::string_view text) = 0;
    virtual void clear() = 0;
    // Takes back the last count bytes of the text.
    virtual void removeEnd(std::int64_t count) = 0;
    // Drops the leading rows within the first count bytes and puts prefix (ending in '\n') in
    // their place; returns the bytes dropped (0 when fewer than prefix's would go).
    virtual std::int64_t replaceFront(std::int64_t count, std::string_view prefix) = 0;
    virtual void setChoices(std::vector<MenuChoice> choices) = 0;
    virtual std::vector<MenuChoice> choices() const = 0;
    // Picks an item of a choice as the menu does: checks it and runs onChoose.
    virtual void choose(int choice, int item) = 0;
    std::function<void(Sender, int choice, int item)> onChoose;
    virtual std::string text() const = 0;
    virtual std::int64_t size() const = 0;
    // Called on the UI thread when a save starts: a function that the saving thread then calls
    // with the text as it was at that moment, giving the bytes behind it as they were
    // received. Without one the text is its own bytes.
    using ReceivedSource = std::function<std::function<std::string(const std::string &text)>()>;
    virtual void setReceivedSource(ReceivedSource source) = 0;
    std::function<void(Sender)> onCleared;

    // A capture writes to a file, from its start until it is stopped, either the bytes as
    // received or the text as it is appended; the menu's "Capture to file..." asks for both.
    // The owner hands over each batch of bytes as read, before its text. path is in the file
    // system's 8-bit encoding.
    virtual void captureReceived(std::string_view bytes) = 0;
    virtual void startCapture(const std::string &path, bool received) = 0;
    virtual void stopCapture() = 0;
    // The running capture's file as the user named it; empty when none runs.
    virtual std::string captureName() const = 0;
    // A capture started or ended (stopped, or ended by a failure).
    std::function<void(Sender)> onCaptureChanged;
    // The menu's "Reset counters".
    std::function<void(Sender)> onResetCounters;
};
