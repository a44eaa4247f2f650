#include "framework/core/HexPair.h"

namespace {

// Anything but a hex digit is worth 0.
std::uint8_t nibbleOf(char c)
{
    const int value = hexDigitValue(c);
    return static_cast<std::uint8_t>(value < 0 ? 0 : value);
}

} // namespace

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
