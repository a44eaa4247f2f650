// The module's command set: one read or write command per setting (an operation byte and a
// code) and the fixed command sequences, which follow the settings table (SettingTable.h).
// Tables and pure functions; callable from any thread.
#pragma once

#include "protocol/FrameCodec.h"
#include "protocol/SettingTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// One command of the module: the operation byte (read 00, write 01) and the setting code.
struct ModuleCommand
{
    std::uint8_t operation;
    std::uint8_t code;
};

constexpr ModuleCommand readCommand(std::uint8_t code)
{
    return {frame::OperationRead, code};
}

constexpr ModuleCommand writeCommand(std::uint8_t code)
{
    return {frame::OperationWrite, code};
}

namespace command {

// The two commands that are no setting's: the second receiver ID, read and ignored, and the
// firmware code. A setting's are readCommand and writeCommand of its code.
constexpr ModuleCommand ReadRX2IDCode = readCommand(setting::RX2IDCode);
constexpr ModuleCommand ReadBiosVersion = readCommand(setting::BiosVersion);

} // namespace command

// The fixed command sequences that the window's setup procedures and zephra-cli both run:
// reading everything (the firmware code first, then every setting of the table in its order)
// and writing every setting.
namespace sequence {

inline constexpr auto ReadAll = [] {
    std::array<ModuleCommand, settingRows().size() + 1> commands{command::ReadBiosVersion};
    for (std::size_t i = 0; i < settingRows().size(); ++i)
        commands[i + 1] = readCommand(settingRows()[i].code);
    return commands;
}();

inline constexpr auto WriteAll = [] {
    std::array<ModuleCommand, settingRows().size()> commands{};
    for (std::size_t i = 0; i < settingRows().size(); ++i)
        commands[i] = writeCommand(settingRows()[i].code);
    return commands;
}();

} // namespace sequence

// The 12-byte frame of command; a read sends value 00.
std::string commandFrame(ModuleCommand command, std::uint8_t value = 0);
