// Frames written the way the protocol's worked examples write them: as byte lists, and a
// firmware-code reply built around its 14 characters with a matching checksum.
#pragma once

#include "framework/core/HexPair.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

// "02 30 30 0D" -> the bytes 0x02 0x30 0x30 0x0D.
inline std::string hexBytes(std::string_view text)
{
    std::istringstream in{std::string(text)};
    std::string bytes;
    unsigned value = 0;
    while (in >> std::hex >> value)
        bytes += static_cast<char>(value);
    return bytes;
}

inline std::string firmwareCodeReply(std::uint8_t a, std::uint8_t b, const std::string &code)
{
    std::uint8_t sum = a ^ b;
    for (char c : code)
        sum ^= static_cast<std::uint8_t>(c);
    return '\x02' + HexByteToStr2(a) + HexByteToStr2(b) + code + '\x03' + HexByteToStr2(sum) +
           '\x0D';
}
