// Multi-line text box of the window: no scroll bars, lines wrapped at the box's width (at a
// word boundary when there is one), Tab moves the focus, Enter breaks the line.
// onKeyPress runs once for every character the keyboard (or an input method) delivers to the
// box, with its Windows-1252 byte as keyCharacters gives it (Enter 13, Backspace 8, Escape 27,
// Ctrl+letter 1..26), before the box handles the key as usual. Keys that deliver no
// character (arrows, Delete, function keys) do not run it. UI thread only.
#pragma once

#include <QPlainTextEdit>
#include <functional>

namespace qt {

class Memo : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit Memo(QWidget *parent = nullptr);

    std::function<void(char key)> onKeyPress;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
};

} // namespace qt
