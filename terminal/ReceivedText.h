// How received bytes are shown as text: 0 to 31 written out as "<0x", two upper-case hex
// digits and ">" ("<0x0D>" for CR), 32 to 255 as the byte itself (a character of the
// Windows-1252 code page once it reaches a control). The text stays a byte string. Pure
// functions, any thread.
#pragma once

#include <string>
#include <string_view>

namespace terminal {

// Appends the display text of bytes to text.
void appendReceivedText(std::string &text, std::string_view bytes);

} // namespace terminal
