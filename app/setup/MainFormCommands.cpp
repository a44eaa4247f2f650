// The module's commands: one method each. A command clears the reply flag, builds its frame
// and hands it to the port one byte per write; it never waits (WaitCommandExecute does).
#include "app/MainForm.h"

#include "app/setup/SettingBindings.h"
#include "protocol/CommandSet.h"
#include "protocol/SettingTable.h"

void TMainForm::sendCommand(ModuleCommand command, std::uint8_t value)
{
    ReplyReceived = 0;
    const std::string frameText = commandFrame(command, value);
    // One write per byte; the count written is not looked at.
    for (const char byte : frameText)
        ComPort1->Write(&byte, 1);
}

void TMainForm::readSetting(std::uint8_t code)
{
    sendCommand(readCommand(code), 0);
}

void TMainForm::writeSetting(std::uint8_t code)
{
    // A radio group's selection or a scroll bar's position as the value byte.
    const SettingBinding &binding = *findBinding(code);
    const std::uint8_t value =
        binding.group.member
            ? itemValue(*findSetting(code), (this->*binding.group.member)->itemIndex())
            : positionValue((this->*binding.bar.member)->position());
    sendCommand(writeCommand(code), value);
}

void TMainForm::Read_User_Baudrate()
{
    readSetting(setting::UserBaudrate);
}

void TMainForm::Read_RF_Mode()
{
    readSetting(setting::RFMode);
}

void TMainForm::Read_RF_DataRate()
{
    readSetting(setting::RFDataRate);
}

void TMainForm::Read_RF_Gain()
{
    readSetting(setting::RFGain);
}

void TMainForm::Read_RF_Channel()
{
    readSetting(setting::RFChannel);
}

void TMainForm::Read_RX1_IDCode()
{
    readSetting(setting::RX1IDCode);
}

void TMainForm::Read_RX2_IDCode()
{
    sendCommand(command::ReadRX2IDCode, 0);
}

void TMainForm::Read_TXD_IDCode()
{
    readSetting(setting::TXDIDCode);
}

void TMainForm::Read_BIOS_Version()
{
    sendCommand(command::ReadBiosVersion, 0);
}

void TMainForm::Write_User_Baudrate()
{
    writeSetting(setting::UserBaudrate);
}

void TMainForm::Write_RF_Mode()
{
    writeSetting(setting::RFMode);
}

void TMainForm::Write_RF_DataRate()
{
    writeSetting(setting::RFDataRate);
}

void TMainForm::Write_RF_Gain()
{
    writeSetting(setting::RFGain);
}

void TMainForm::Write_RF_Channel()
{
    writeSetting(setting::RFChannel);
}

void TMainForm::Write_RX1_IDCode()
{
    writeSetting(setting::RX1IDCode);
}

void TMainForm::Write_TXD_IDCode()
{
    writeSetting(setting::TXDIDCode);
}
