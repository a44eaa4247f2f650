#include "framework/core/HexPair.h"

namespace {

// Upper- and lower-case letters mean the same; anything else is worth 0.
std::uint8_t nibbleOf(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint8_t>(c - 'a' + 10);
    return 0;
}

} // namespace

char hexDigit(unsigned nibble)
{
    return "0123456789ABCDEF"[nibble & 0x0F];
}

std::string HexByteToStr2(std::uint8_t value)
{
    return {hexDigit(value >> 4), hexDigit(value)};
}

std::uint8_t HexStr2ToByte(std::string_view text)
{
    const std::uint8_t high = text.size() > 0 ? nibbleOf(text[0]) : 0;
    const std::uint8_t low = text.size() > 1 ? nibbleOf(text[1]) : 0;
    return static_cast<std::uint8_t>(high << 4 | low);
}
