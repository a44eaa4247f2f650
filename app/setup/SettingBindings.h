// Which controls of the window show each setting of the settings table
// (protocol/SettingTable.h), and which of the window's methods read and write it. A setting is
// its row there and its binding here: the window finds its controls by their stored names,
// sends its commands in the setup tab's sequences and enables its controls with their kind
// (ControlId::SettingRadioGroups, ControlId::SettingDisplays) from these rows.
#pragma once

#include "app/MainForm.h"
#include "link/ModuleModel.h"
#include "protocol/SettingTable.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

// A control member of the window with its stored name, written once by ZEPHRA_MEMBER.
template<class Kind> struct SettingMember
{
    Kind *TMainForm::*member = nullptr;
    const char *name = nullptr;
};

#define ZEPHRA_MEMBER(name)                                                                        \
    {                                                                                              \
        &TMainForm::name, #name                                                                    \
    }

// A radio group whose item index is the value, or a scroll bar whose position is the value
// with a text box beside it. The setting's range and display format come with its row.
struct SettingBinding
{
    std::uint8_t code;
    void (TMainForm::*read)();
    void (TMainForm::*write)();
    SettingMember<RadioGroup> group;
    SettingMember<ScrollBar> bar;
    SettingMember<Edit> display;
    // The bar's change handler, which shows its position in the text box.
    void (TMainForm::*change)(Control *);
};

constexpr SettingBinding radioGroupBinding(std::uint8_t code, void (TMainForm::*read)(),
                                           void (TMainForm::*write)(),
                                           SettingMember<RadioGroup> group)
{
    return {code, read, write, group, {}, {}, nullptr};
}

constexpr SettingBinding scrollBarBinding(std::uint8_t code, void (TMainForm::*read)(),
                                          void (TMainForm::*write)(), SettingMember<ScrollBar> bar,
                                          SettingMember<Edit> display,
                                          void (TMainForm::*change)(Control *))
{
    return {code, read, write, {}, bar, display, change};
}

inline constexpr SettingBinding settingBindings[] = {
    radioGroupBinding(setting::UserBaudrate, &TMainForm::Read_User_Baudrate,
                      &TMainForm::Write_User_Baudrate, ZEPHRA_MEMBER(SelectBaudrateSetup)),
    radioGroupBinding(setting::RFMode, &TMainForm::Read_RF_Mode, &TMainForm::Write_RF_Mode,
                      ZEPHRA_MEMBER(SelectRFMode)),
    radioGroupBinding(setting::RFDataRate, &TMainForm::Read_RF_DataRate,
                      &TMainForm::Write_RF_DataRate, ZEPHRA_MEMBER(SelectRFRate)),
    radioGroupBinding(setting::RFGain, &TMainForm::Read_RF_Gain, &TMainForm::Write_RF_Gain,
                      ZEPHRA_MEMBER(SelectRFGain)),
    scrollBarBinding(setting::RFChannel, &TMainForm::Read_RF_Channel, &TMainForm::Write_RF_Channel,
                     ZEPHRA_MEMBER(RFChannel), ZEPHRA_MEMBER(RFChannelDisplay),
                     &TMainForm::RFChannelChange),
    scrollBarBinding(setting::RX1IDCode, &TMainForm::Read_RX1_IDCode, &TMainForm::Write_RX1_IDCode,
                     ZEPHRA_MEMBER(RF_RX1_IDCode), ZEPHRA_MEMBER(RF1IDCodeDisplay),
                     &TMainForm::RF_RX1_IDCodeChange),
    scrollBarBinding(setting::TXDIDCode, &TMainForm::Read_TXD_IDCode, &TMainForm::Write_TXD_IDCode,
                     ZEPHRA_MEMBER(RF_TXD_IDCode), ZEPHRA_MEMBER(TXDIDCodeDisplay),
                     &TMainForm::RF_TXD_IDCodeChange),
};

#undef ZEPHRA_MEMBER

// Where the binding of a setting code is in settingBindings; its size when there is none.
// Indices rather than pointers: a sanitizing build cannot compare addresses in a constant.
constexpr std::size_t bindingIndex(std::uint8_t code)
{
    for (std::size_t at = 0; at < std::size(settingBindings); ++at) {
        if (settingBindings[at].code == code)
            return at;
    }
    return std::size(settingBindings);
}

inline const SettingBinding *findBinding(std::uint8_t code)
{
    const std::size_t at = bindingIndex(code);
    return at < std::size(settingBindings) ? &settingBindings[at] : nullptr;
}

// Every row has one binding of its kind, and every binding a row: a setting added to one table
// and not the other does not compile.
constexpr bool everySettingBound()
{
    for (const SettingRow &row : settingRows()) {
        const std::size_t at = bindingIndex(row.code);
        if (at == std::size(settingBindings))
            return false;
        if ((row.control == SettingControl::RadioGroup) !=
            (settingBindings[at].group.member != nullptr))
            return false;
    }
    for (std::size_t at = 0; at < std::size(settingBindings); ++at) {
        const std::uint8_t code = settingBindings[at].code;
        bool hasRow = false;
        for (const SettingRow &row : settingRows())
            hasRow = hasRow || row.code == code;
        if (!hasRow || bindingIndex(code) != at)
            return false;
    }
    return true;
}
static_assert(everySettingBound(), "each row of the settings table needs one binding here");

// zephra-cli's pair check and zephra-sim keep a module's settings by code in the link model.
static_assert(largestSettingCode() < radio::ModuleSettings().size(),
              "radio::ModuleSettings (link/ModuleModel.h) must hold every setting code");
