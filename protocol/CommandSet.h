// The module's command set: its setting codes, one read or write command per setting (an
// operation byte and a code) and the fixed command sequences. What each setting's value
// means is in SettingTable.h. Tables and pure functions; callable from any thread.
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
