// The program's 8-bit text (std::string holding Windows-1252 bytes, the "ANSI code page") and
// Unicode. Every byte 0..255 maps to one character and back: the five bytes Windows-1252
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same
// number, so nothing is lost on a round trip. Characters without a byte become '?'. The window
// toolkits convert at their controls through these. Pure functions, callable from any thread.
#pragma once

#include <string>
#include <string_view>

char16_t ansiToUnicode(char byte);
// '?' when the character has no Windows-1252 byte.
char unicodeToAnsi(char16_t character);

// A surrogate pair (one character outside the basic plane) becomes a single '?'.
std::string utf16ToAnsi(std::u16string_view text);
std::string ansiToUtf8(std::string_view bytes);
// A control byte, DEL or one of the five code points the code page leaves undefined: a text
// box draws it as an empty cell.
inline bool ansiUnprintable(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
           byte == 0x90 || byte == 0x9D;
}
