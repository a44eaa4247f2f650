#include "framework/core/IntegerText.h"

#include "framework/core/ConvertError.h"

#include <cstddef>
#include <limits>

namespace {

int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

} // namespace

bool tryTextToInt(std::string_view text, std::int32_t &value)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }

    if (i == text.size())
        return false; // no digits at all: "", "  ", "-", "$", "0x"

    // Accumulate in 64 bits and stop as soon as the magnitude leaves the 32-bit range, so
    // that long digit strings never overflow.
    std::uint64_t limit = std::numeric_limits<std::uint32_t>::max();
    if (base == 10)
        limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            return false;
        magnitude =
            magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit)
            return false;
    }

    // Two's complement in unsigned arithmetic: well defined for every magnitude allowed above.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = ~bits + 1u;
    value = static_cast<std::int32_t>(bits);
    return true;
}

std::int32_t StrToInt(const std::string &text)
{
    std::int32_t value = 0;
    if (!tryTextToInt(text, value))
        throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}
