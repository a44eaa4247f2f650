// Hex digits as the terminal's views write them and its parsers read them. Pure, any thread.
#pragma once

namespace terminal {

// The upper-case digit of a nibble's low four bits.
constexpr char upperHexDigit(unsigned nibble)
{
    return "0123456789ABCDEF"[nibble & 15];
}

// The value of a hex digit of either case, or -1 for any other character.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace terminal
