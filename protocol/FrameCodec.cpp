#include "protocol/FrameCodec.h"

#include "framework/core/HexPair.h"

namespace {

// The pair starting at 1-based position of the reply (the reply has been length-checked).
std::uint8_t pairAt(std::string_view reply, std::size_t position)
{
    return HexStr2ToByte(reply.substr(position - 1, 2));
}

} // namespace

std::uint8_t commandChecksum(std::uint8_t operation, std::uint8_t code, std::uint8_t value)
{
    return static_cast<std::uint8_t>(operation ^ code ^ value);
}

std::string buildCommandFrame(std::uint8_t operation, std::uint8_t code, std::uint8_t value)
{
    std::string frame;
    frame.reserve(frame::CommandLength);
    frame += frame::Stx;
    frame += HexByteToStr2(operation);
    frame += HexByteToStr2(code);
    frame += HexByteToStr2(value);
    frame += frame::Etx;
    frame += HexByteToStr2(commandChecksum(operation, code, value));
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
