// What the test tab's send side puts on the line: the line end it appends and the escapes of
// the send line. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace terminal {

enum class LineEnd { None, CR, LF, CRLF };

// The line end's bytes: "", "\r", "\n" or "\r\n".
std::string_view lineEndBytes(LineEnd end);

// The send line with its escapes made bytes: \xNN (two hex digits, either case), \r, \n, \t
// and \\. Where an escape is malformed, bytes is empty, errorAt is its backslash's character
// position counted from 1, and escape is what stood there (at most the four characters a
// \xNN takes).
struct Decoded
{
    std::string bytes;
    std::size_t errorAt = 0;
    std::string escape;
    bool ok() const { return errorAt == 0; }
};
Decoded decodeEscapes(std::string_view text);

} // namespace terminal
