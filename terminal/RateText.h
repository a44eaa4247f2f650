// The test tab's rate box read as a line speed in bit/s: the number typed or chosen, read by
// the program's one integer reader (leading blanks, sign and hex prefixes as it allows).
// Called on the UI thread when the test tab opens its port.
#pragma once

#include <cstdint>
#include <string>

// Raises EConvertError "'<text>' is not a valid integer value" when text is no integer.
std::int32_t rateFromText(const std::string &text);
