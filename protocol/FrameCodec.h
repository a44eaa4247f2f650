// The module's setup-protocol frames, as pure functions. A byte travels as a hex pair (two
// digit characters, high nibble first). A command frame is 12 bytes: STX, operation, setting
// code and value as hex pairs, ETX, checksum pair (operation XOR code XOR value), CR, LF.
// A reply is counted from STX up to and including CR and told apart by its length alone:
// 11 for a setting reply (same layout as a command, without the LF), 23 for a firmware-code
// reply (STX, two header pairs, 14 code characters sent as themselves, ETX, checksum pair,
// CR). The STX and ETX positions and the operation/header values only count through the
// checksum. No state; callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace frame {

constexpr char Stx = '\x02';
constexpr char Etx = '\x03';
constexpr char Cr = '\x0D';
constexpr char Lf = '\x0A';

constexpr std::uint8_t OperationRead = 0x00;
constexpr std::uint8_t OperationWrite = 0x01;

constexpr std::size_t CommandLength = 12;
constexpr std::size_t SettingReplyLength = 11;
constexpr std::size_t FirmwareReplyLength = 23;
constexpr std::size_t FirmwareCodeLength = 14;

} // namespace frame

// Operation XOR code XOR value.
std::uint8_t commandChecksum(std::uint8_t operation, std::uint8_t code, std::uint8_t value);

// The 12-byte command frame.
std::string buildCommandFrame(std::uint8_t operation, std::uint8_t code, std::uint8_t value);

struct SettingReply
{
    std::uint8_t operation;
    std::uint8_t code;
    std::uint8_t value;
};

// The fields of reply when it is a setting reply (11 characters) whose checksum matches.
std::optional<SettingReply> checkSettingReply(std::string_view reply);

// The 14-character firmware code of reply when it is a firmware-code reply (23 characters)
// whose checksum matches.
std::optional<std::string> checkFirmwareReply(std::string_view reply);
