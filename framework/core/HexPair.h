// A byte as a hex pair: two digit characters, high nibble first. The module's frames carry
// every number this way, and the test tab writes control bytes out with the same digits.
// Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The upper-case hex digit of a nibble's low four bits.
constexpr char hexDigit(unsigned nibble)
{
    return "0123456789ABCDEF"[nibble & 15];
}

// The value of a hex digit of either letter case, or -1 for any other character.
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

// The hex pair of value: always two characters, digits and upper-case letters ("0A").
std::string HexByteToStr2(std::uint8_t value);

// The byte spelled by the first two characters of text, in either letter case. A character
// that is not a hex digit, or a missing one, counts as nibble 0; later characters are ignored.
std::uint8_t HexStr2ToByte(std::string_view text);
