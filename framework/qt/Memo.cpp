#include "framework/qt/Memo.h"

#include "framework/qt/Ansi.h"
#include "framework/qt/KeyCharacters.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

namespace qt {

Memo::Memo(QWidget *parent) : QPlainTextEdit(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTabChangesFocus(true);
}

void Memo::keyPressEvent(QKeyEvent *event)
{
    if (onKeyPress) {
        // toAnsi turns a character outside the basic plane into one '?', as one key.
        for (char key : keyCharacters(event->key(), event->modifiers(), toAnsi(event->text())))
            onKeyPress(key);
    }
    QPlainTextEdit::keyPressEvent(event);
}

void Memo::inputMethodEvent(QInputMethodEvent *event)
{
    // A composed text reaches a Windows box as characters too, one by one.
    if (onKeyPress) {
        for (char key : toAnsi(event->commitString()))
            onKeyPress(key);
    }
    QPlainTextEdit::inputMethodEvent(event);
}

} // namespace qt
