// The module's commands: one method each. A command clears the reply flag, builds its frame
// and hands it to the port one byte per write; it never waits (WaitCommandExecute does).
#include "app/MainForm.h"

#include "protocol/CommandSet.h"
#include "protocol/SettingTable.h"

namespace {

// A radio group's selection as the value byte of its setting's write.
std::uint8_t groupValue(std::uint8_t code, const RadioGroup *group)
{
    return itemValue(*findSetting(code), group->itemIndex());
}

} // namespace

void TMainForm::sendCommand(ModuleCommand command, std::uint8_t value)
{
    ReplyReceived = 0;
    const std::string frameText = commandFrame(command, value);
    // One write per byte; the count written is not looked at.
    for (const char byte : frameText)
        ComPort1->Write(&byte, 1);
}

void TMainForm::Read_User_Baudrate()
{
    sendCommand(command::ReadUserBaudrate, 0);
}

void TMainForm::Read_RF_Mode()
{
    sendCommand(command::ReadRFMode, 0);
}

void TMainForm::Read_RF_DataRate()
{
    sendCommand(command::ReadRFDataRate, 0);
}

void TMainForm::Read_RF_Gain()
{
    sendCommand(command::ReadRFGain, 0);
}

void TMainForm::Read_RF_Channel()
{
    sendCommand(command::ReadRFChannel, 0);
}

void TMainForm::Read_RX1_IDCode()
{
    sendCommand(command::ReadRX1IDCode, 0);
}

void TMainForm::Read_RX2_IDCode()
{
    sendCommand(command::ReadRX2IDCode, 0);
}

void TMainForm::Read_TXD_IDCode()
{
    sendCommand(command::ReadTXDIDCode, 0);
}

void TMainForm::Read_BIOS_Version()
{
    sendCommand(command::ReadBiosVersion, 0);
}

void TMainForm::Write_User_Baudrate()
{
    sendCommand(command::WriteUserBaudrate, groupValue(setting::UserBaudrate, SelectBaudrateSetup));
}

void TMainForm::Write_RF_Mode()
{
    sendCommand(command::WriteRFMode, groupValue(setting::RFMode, SelectRFMode));
}

void TMainForm::Write_RF_DataRate()
{
    sendCommand(command::WriteRFDataRate, groupValue(setting::RFDataRate, SelectRFRate));
}

void TMainForm::Write_RF_Gain()
{
    sendCommand(command::WriteRFGain, groupValue(setting::RFGain, SelectRFGain));
}

void TMainForm::Write_RF_Channel()
{
    sendCommand(command::WriteRFChannel, positionValue(RFChannel->position()));
}

void TMainForm::Write_RX1_IDCode()
{
    sendCommand(command::WriteRX1IDCode, positionValue(RF_RX1_IDCode->position()));
}

void TMainForm::Write_TXD_IDCode()
{
    sendCommand(command::WriteTXDIDCode, positionValue(RF_TXD_IDCode->position()));
}
