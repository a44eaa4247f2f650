// Which bytes a key typed into the test tab's send box puts on the line: one byte for each
// character the keyboard delivers to the box, as a Windows keyboard delivers them. Enter
// sends CR (13) although the box breaks the line, Backspace 8, Escape 27, Ctrl with a letter
// its control code (Ctrl+A 1 .. Ctrl+Z 26); printable characters go as their Windows-1252
// bytes. Keys that deliver no character (Tab, which moves the focus, Delete, arrows,
// function keys, modifiers alone, Alt or Ctrl with anything else) send nothing. Pure
// function, called on the UI thread by the send box's key handler.
#pragma once

#include <QtCore/qnamespace.h>

#include <string>
#include <string_view>

// qtKey and modifiers as the key event reports them; ansiText is the event's text already
// converted to Windows-1252 bytes by the program's one code-page conversion.
std::string sendKeyBytes(int qtKey, Qt::KeyboardModifiers modifiers, std::string_view ansiText);
