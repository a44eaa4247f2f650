// Which control of the window shows each setting of the settings table
// (protocol/SettingTable.h). Adding a setting means its row there and its binding here.
#pragma once

#include "app/MainForm.h"
#include "protocol/CommandSet.h"

#include <cstdint>

// A radio group whose item index is the value, or a scroll bar whose position is the value
// with a text box beside it. The setting's range and display format come with its row.
struct SettingBinding
{
    std::uint8_t code;
    RadioGroup *TMainForm::*group;
    ScrollBar *TMainForm::*bar;
    Edit *TMainForm::*display;
};

inline constexpr SettingBinding settingBindings[] = {
    {setting::UserBaudrate, &TMainForm::SelectBaudrateSetup, nullptr, nullptr},
    {setting::RFMode, &TMainForm::SelectRFMode, nullptr, nullptr},
    {setting::RFDataRate, &TMainForm::SelectRFRate, nullptr, nullptr},
    {setting::RFGain, &TMainForm::SelectRFGain, nullptr, nullptr},
    {setting::RFChannel, nullptr, &TMainForm::RFChannel, &TMainForm::RFChannelDisplay},
    {setting::RX1IDCode, nullptr, &TMainForm::RF_RX1_IDCode, &TMainForm::RF1IDCodeDisplay},
    {setting::TXDIDCode, nullptr, &TMainForm::RF_TXD_IDCode, &TMainForm::TXDIDCodeDisplay},
};

inline const SettingBinding *findBinding(std::uint8_t code)
{
    for (const SettingBinding &binding : settingBindings) {
        if (binding.code == code)
            return &binding;
    }
    return nullptr;
}
