// Which control of the window shows each setting of the settings table
// (protocol/SettingTable.h). Adding a setting means its row there and its binding here.
#pragma once

#include "ui_MainForm.h"

#include "protocol/CommandSet.h"

#include <cstdint>

// A radio group whose item index is the value, or a scroll bar whose position is the value
// with a text box beside it. The setting's range and display format come with its row.
struct SettingBinding
{
    std::uint8_t code;
    RadioGroup *Ui_MainForm::*group;
    ScrollBar *Ui_MainForm::*bar;
    QLineEdit *Ui_MainForm::*display;
};

inline constexpr SettingBinding settingBindings[] = {
    {setting::UserBaudrate, &Ui_MainForm::SelectBaudrateSetup, nullptr, nullptr},
    {setting::RFMode, &Ui_MainForm::SelectRFMode, nullptr, nullptr},
    {setting::RFDataRate, &Ui_MainForm::SelectRFRate, nullptr, nullptr},
    {setting::RFGain, &Ui_MainForm::SelectRFGain, nullptr, nullptr},
    {setting::RFChannel, nullptr, &Ui_MainForm::RFChannel, &Ui_MainForm::RFChannelDisplay},
    {setting::RX1IDCode, nullptr, &Ui_MainForm::RF_RX1_IDCode, &Ui_MainForm::RF1IDCodeDisplay},
    {setting::TXDIDCode, nullptr, &Ui_MainForm::RF_TXD_IDCode, &Ui_MainForm::TXDIDCodeDisplay},
};

inline const SettingBinding *findBinding(std::uint8_t code)
{
    for (const SettingBinding &binding : settingBindings) {
        if (binding.code == code)
            return &binding;
    }
    return nullptr;
}
