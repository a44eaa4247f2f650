#include "protocol/FrameCodec.h"

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

// The pair starting at 1-based position of the reply (the reply has been length-checked).
std::uint8_t pairAt(std::string_view reply, std::size_t position)
{
    return decodeHexPair(reply.substr(position - 1, 2));
}

} // namespace

std::string encodeHexPair(std::uint8_t value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 0x0F]};
}

std::uint8_t decodeHexPair(std::string_view text)
{
    const std::uint8_t high = text.size() > 0 ? nibbleOf(text[0]) : 0;
    const std::uint8_t low = text.size() > 1 ? nibbleOf(text[1]) : 0;
    return static_cast<std::uint8_t>(high << 4 | low);
}

std::uint8_t commandChecksum(std::uint8_t operation, std::uint8_t code, std::uint8_t value)
{
    return static_cast<std::uint8_t>(operation ^ code ^ value);
}

std::string buildCommandFrame(std::uint8_t operation, std::uint8_t code, std::uint8_t value)
{
    std::string frame;
    frame.reserve(frame::CommandLength);
    frame += frame::Stx;
    frame += encodeHexPair(operation);
    frame += encodeHexPair(code);
    frame += encodeHexPair(value);
    frame += frame::Etx;
    frame += encodeHexPair(commandChecksum(operation, code, value));
    frame += frame::Cr;
    frame += frame::Lf;
    return frame;
}

std::optional<SettingReply> checkSettingReply(std::string_view reply)
{
    if (reply.size() != frame::SettingReplyLength)
        return std::nullopt;
    const SettingReply fields{pairAt(reply, 2), pairAt(reply, 4), pairAt(reply, 6)};
    if (commandChecksum(fields.operation, fields.code, fields.value) != pairAt(reply, 9))
        return std::nullopt;
    return fields;
}

std::optional<std::string> checkFirmwareReply(std::string_view reply)
{
    if (reply.size() != frame::FirmwareReplyLength)
        return std::nullopt;
    const std::string_view code = reply.substr(5, frame::FirmwareCodeLength);
    std::uint8_t sum = pairAt(reply, 2) ^ pairAt(reply, 4);
    for (char c : code)
        sum ^= static_cast<std::uint8_t>(c);
    if (sum != pairAt(reply, 21))
        return std::nullopt;
    return std::string(code);
}
