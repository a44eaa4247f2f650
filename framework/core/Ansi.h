// The one conversion between the program's 8-bit text (std::string holding Windows-1252
// bytes, the "ANSI code page") and the QString a control shows. Every byte 0..255 maps to one
// character and back: the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the control characters of the same number, so nothing is lost on a round trip.
// Characters without a byte become '?'. Pure functions, callable from any thread.
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

QChar fromAnsiChar(char byte);
QString fromAnsi(std::string_view bytes);

// '?' when the character has no Windows-1252 byte.
char toAnsiChar(QChar character);
// A surrogate pair (one character outside the basic plane) becomes a single '?'.
std::string toAnsi(QStringView text);
