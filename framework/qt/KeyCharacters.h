// The characters a key delivers to a text box, as a Windows keyboard delivers them, each as
// its Windows-1252 byte: Enter 13 (although the box breaks the line), Backspace 8, Escape 27,
// Ctrl with a letter its control code (Ctrl+A 1 .. Ctrl+Z 26), Ctrl with @ [ \ ] ^ _ the codes
// 0 and 27 to 31, Ctrl+Space a blank, printable characters their bytes. Keys that deliver no
// character (Tab, which moves the focus, Delete, arrows, function keys, modifiers alone, Alt
// or Ctrl with anything else) give nothing. The one mapping of typed keys to bytes, used by
// the text boxes' key-press events. Pure function, callable from any thread.
#pragma once

#include <QtCore/qnamespace.h>

#include <string>
#include <string_view>

// qtKey and modifiers as the key event reports them; ansiText is the event's text already
// converted to Windows-1252 bytes by the program's one code-page conversion.
std::string keyCharacters(int qtKey, Qt::KeyboardModifiers modifiers, std::string_view ansiText);
