// The module's command set: its setting codes, one read or write command per setting (an
// operation byte and a code), how far each setting's value goes and how the setup tab shows
// it, and the rules that turn a control's state into the value byte of a write command.
// Tables and pure functions; callable from any thread (the window calls them on the UI
// thread).
#pragma once

#include "protocol/FrameCodec.h"

#include <cstdint>
#include <string>

namespace setting {

constexpr std::uint8_t UserBaudrate = 0x00; // 0 "1200 BPS" .. 4 "19200 BPS"
constexpr std::uint8_t RFMode = 0x01;       // 0 receive only, 1 transmit only, 2 auto direction
constexpr std::uint8_t RFDataRate = 0x02;   // 0 250 Kbps, 1 1 Mbps
constexpr std::uint8_t RFGain = 0x03;       // 0 -20 dBm .. 3 +0 dBm
constexpr std::uint8_t RFChannel = 0x04;    // 0 .. 124
constexpr std::uint8_t RX1IDCode = 0x05;    // 0 .. 255
constexpr std::uint8_t RX2IDCode = 0x06;    // read command only; its replies are ignored
constexpr std::uint8_t TXDIDCode = 0x07;    // 0 .. 255
constexpr std::uint8_t BiosVersion = 0x08;  // read only, answered by the firmware-code reply

} // namespace setting

// How the setup tab shows a setting: a radio group whose item index is the value, or a
// scroll bar whose position is the value, with a text box beside it in decimal or in two
// upper-case hex digits.
enum class SettingControl { RadioGroup, DecimalScrollBar, HexScrollBar };

struct SettingInfo
{
    std::uint8_t code;
    SettingControl control;
    std::uint8_t maxValue; // values 0..maxValue are in range
};

// The settings that a setting reply updates (codes 00 to 05 and 07); nullptr for every other
// code, whose replies are ignored.
const SettingInfo *findSetting(std::uint8_t code);

// The text shown beside a scroll bar at position: the channel in decimal ("7"), an ID code as
// two upper-case hex digits ("0A"); empty for a radio group's setting.
std::string settingDisplay(const SettingInfo &info, int position);

// One command of the module: the operation byte (read 00, write 01) and the setting code.
struct ModuleCommand
{
    std::uint8_t operation;
    std::uint8_t code;
};

namespace command {

constexpr ModuleCommand ReadUserBaudrate{frame::OperationRead, setting::UserBaudrate};
constexpr ModuleCommand ReadRFMode{frame::OperationRead, setting::RFMode};
constexpr ModuleCommand ReadRFDataRate{frame::OperationRead, setting::RFDataRate};
constexpr ModuleCommand ReadRFGain{frame::OperationRead, setting::RFGain};
constexpr ModuleCommand ReadRFChannel{frame::OperationRead, setting::RFChannel};
constexpr ModuleCommand ReadRX1IDCode{frame::OperationRead, setting::RX1IDCode};
constexpr ModuleCommand ReadRX2IDCode{frame::OperationRead, setting::RX2IDCode};
constexpr ModuleCommand ReadTXDIDCode{frame::OperationRead, setting::TXDIDCode};
constexpr ModuleCommand ReadBiosVersion{frame::OperationRead, setting::BiosVersion};

constexpr ModuleCommand WriteUserBaudrate{frame::OperationWrite, setting::UserBaudrate};
constexpr ModuleCommand WriteRFMode{frame::OperationWrite, setting::RFMode};
constexpr ModuleCommand WriteRFDataRate{frame::OperationWrite, setting::RFDataRate};
constexpr ModuleCommand WriteRFGain{frame::OperationWrite, setting::RFGain};
constexpr ModuleCommand WriteRFChannel{frame::OperationWrite, setting::RFChannel};
constexpr ModuleCommand WriteRX1IDCode{frame::OperationWrite, setting::RX1IDCode};
constexpr ModuleCommand WriteTXDIDCode{frame::OperationWrite, setting::TXDIDCode};

} // namespace command

// The fixed command sequences that the window's setup procedures and zephra-cli both run:
// reading everything (the firmware code first, then the seven settings in code order) and
// writing the seven settings.
namespace sequence {

inline constexpr ModuleCommand ReadAll[] = {
    command::ReadBiosVersion, command::ReadUserBaudrate, command::ReadRFMode,
    command::ReadRFDataRate,  command::ReadRFGain,       command::ReadRFChannel,
    command::ReadRX1IDCode,   command::ReadTXDIDCode,
};

inline constexpr ModuleCommand WriteAll[] = {
    command::WriteUserBaudrate, command::WriteRFMode,    command::WriteRFDataRate,
    command::WriteRFGain,       command::WriteRFChannel, command::WriteRX1IDCode,
    command::WriteTXDIDCode,
};

} // namespace sequence

// The 12-byte frame of command; a read sends value 00.
std::string commandFrame(ModuleCommand command, std::uint8_t value = 0);

// Value bytes of the write commands from the state of their controls. A radio group without
// a selection (item index -1) sends the module's default: 9600 BPS (3), auto direction (2),
// 250 Kbps (0), +0 dBm (3).
std::uint8_t baudrateValue(int itemIndex);
std::uint8_t rfModeValue(int itemIndex);
std::uint8_t rfDataRateValue(int itemIndex);
std::uint8_t rfGainValue(int itemIndex);

// A scroll bar's position as the value byte (channel 0..124, ID codes 0..255).
std::uint8_t positionValue(int position);
