#include "framework/widgets/Memo.h"

#include "framework/core/Ansi.h"

#include <QKeyEvent>

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
    const QString text = event->text();
    // Delete reports DEL as its text on some platforms, but Windows delivers no character
    // for it; Tab only moves the focus here.
    const bool deliversCharacters = !text.isEmpty() && event->key() != Qt::Key_Delete &&
                                    event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab;
    if (onKeyPress && deliversCharacters) {
        // toAnsi turns a character outside the basic plane into one '?', as one key.
        for (char key : toAnsi(text))
            onKeyPress(key);
    }
    QPlainTextEdit::keyPressEvent(event);
}
