#include "simulator/SimFrame.h"

#include "framework/core/HexPair.h"

namespace SimFrame {

std::optional<std::uint8_t> parseHexPair(char high, char low)
{
    const int h = hexDigitValue(high);
    const int l = hexDigitValue(low);
    if (h < 0 || l < 0)
        return std::nullopt;
    return static_cast<std::uint8_t>(h * 16 + l);
}

std::optional<Command> parseCommand(std::string_view frame)
{
    if (frame.size() != CommandLength || frame[0] != Stx || frame[7] != Etx || frame[10] != Cr ||
        frame[11] != Lf)
        return std::nullopt;
    const auto op = parseHexPair(frame[1], frame[2]);
    const auto code = parseHexPair(frame[3], frame[4]);
    const auto value = parseHexPair(frame[5], frame[6]);
    const auto sum = parseHexPair(frame[8], frame[9]);
    if (!op || !code || !value || !sum || (*op ^ *code ^ *value) != *sum)
        return std::nullopt;
    return Command{*op, *code, *value};
}

std::string settingReply(std::uint8_t operation, std::uint8_t code, std::uint8_t value)
{
    std::string reply(1, Stx);
    reply += HexByteToStr2(operation);
    reply += HexByteToStr2(code);
    reply += HexByteToStr2(value);
    reply += Etx;
    reply += HexByteToStr2(operation ^ code ^ value);
    reply += Cr;
    reply += Lf;
    return reply;
}

std::string firmwareReply(std::uint8_t headerA, std::uint8_t headerB, std::string_view code)
{
    std::uint8_t sum = headerA ^ headerB;
    for (char c : code)
        sum ^= static_cast<std::uint8_t>(c);
    std::string reply(1, Stx);
    reply += HexByteToStr2(headerA);
    reply += HexByteToStr2(headerB);
    reply += code;
    reply += Etx;
    reply += HexByteToStr2(sum);
    reply += Cr;
    reply += Lf;
    return reply;
}

} // namespace SimFrame
