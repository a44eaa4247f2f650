// The one conversion between the program's 8-bit text (std::string holding Windows-1252
// bytes) and the QString a Qt control shows, over the code page of framework/core/AnsiText.h.
// Pure functions, callable from any thread.
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
