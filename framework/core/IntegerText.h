// The program's one reader of integers written as text (saved character codes, the typed
// line speed). Accepted: optional leading blanks, an optional "+" or "-", then decimal
// digits, or hexadecimal digits (either case) after a "$", "x", "X", "0x" or "0X" prefix.
// Nothing may follow the digits, not even a blank. Decimal values must fit a signed 32-bit
// integer; hexadecimal ones may use all 32 bits and are taken as the bit pattern
// ("$FFFFFFFF" is -1). Pure functions, callable from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Reads text into value; false (value untouched) when the text is not a valid integer.
bool tryTextToInt(std::string_view text, std::int32_t &value);

// Reads text; raises EConvertError "'<text>' is not a valid integer value" when invalid.
std::int32_t StrToInt(const std::string &text);
