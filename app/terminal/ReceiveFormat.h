// How the test tab shows received bytes: 32 to 255 as the byte itself (a character of the
// Windows-1252 code page once it reaches the control), 0 to 31 written out as "<0x", two
// upper-case hex digits and ">" ("<0x0D>" for CR). No received byte ever breaks a line.
// The result stays a byte string; it becomes a QString only at the receive box. Pure
// functions, called on the UI thread by the receive handler.
#pragma once

#include <string>
#include <string_view>

// Appends the display text of bytes to text; costs in proportion to bytes only.
void appendReceivedText(std::string &text, std::string_view bytes);

// The display text of bytes.
std::string receivedText(std::string_view bytes);
