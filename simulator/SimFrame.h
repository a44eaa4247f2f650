// The module's own view of the setup protocol: parsing the 12-byte command frames it receives
// and building the two reply layouts it sends (setting reply, firmware-code reply).
// Written apart from the window's codec on purpose, so that a mistake on one side shows up
// as a failed exchange instead of being repeated on both. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace SimFrame {

constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
constexpr char Cr = 0x0D;
constexpr char Lf = 0x0A;

constexpr std::size_t CommandLength = 12; // STX .. LF
constexpr std::size_t FirmwareCodeLength = 14;

constexpr std::uint8_t OpRead = 0x00;
constexpr std::uint8_t OpWrite = 0x01;

struct Command
{
    std::uint8_t operation = 0;
    std::uint8_t code = 0;
    std::uint8_t value = 0;
};

// Strict decoding of two hex digits (either case); nothing for anything else.
std::optional<std::uint8_t> parseHexPair(char high, char low);

// A complete command frame, STX through LF, exactly 12 bytes with valid digits, ETX, CR, LF
// and a matching checksum; nothing otherwise.
std::optional<Command> parseCommand(std::string_view frame);

// Setting reply: STX, op, code, value, ETX, checksum, CR, LF (13 bytes).
std::string settingReply(std::uint8_t operation, std::uint8_t code, std::uint8_t value);

// Firmware-code reply: STX, two header bytes, the code's characters as themselves, ETX,
// checksum, CR, LF (25 bytes for a 14-character code; other lengths are built as given).
std::string firmwareReply(std::uint8_t headerA, std::uint8_t headerB, std::string_view code);

} // namespace SimFrame
