#include "protocol/CommandSet.h"

#include <algorithm>

namespace {

constexpr SettingInfo settings[] = {
    {setting::UserBaudrate, SettingControl::RadioGroup, 4},
    {setting::RFMode, SettingControl::RadioGroup, 2},
    {setting::RFDataRate, SettingControl::RadioGroup, 1},
    {setting::RFGain, SettingControl::RadioGroup, 3},
    {setting::RFChannel, SettingControl::DecimalScrollBar, 124},
    {setting::RX1IDCode, SettingControl::HexScrollBar, 255},
    {setting::TXDIDCode, SettingControl::HexScrollBar, 255},
};

// An item of the group sends its index; anything else (no selection) sends the default.
std::uint8_t radioGroupValue(std::uint8_t code, int itemIndex, std::uint8_t noSelection)
{
    const SettingInfo *info = findSetting(code);
    if (itemIndex >= 0 && itemIndex <= info->maxValue)
        return static_cast<std::uint8_t>(itemIndex);
    return noSelection;
}

} // namespace

const SettingInfo *findSetting(std::uint8_t code)
{
    for (const SettingInfo &info : settings) {
        if (info.code == code)
            return &info;
    }
    return nullptr;
}

std::string settingDisplay(const SettingInfo &info, int position)
{
    switch (info.control) {
    case SettingControl::RadioGroup:
        break;
    case SettingControl::DecimalScrollBar:
        return std::to_string(position);
    case SettingControl::HexScrollBar:
        return encodeHexPair(static_cast<std::uint8_t>(position));
    }
    return {};
}

std::string commandFrame(ModuleCommand command, std::uint8_t value)
{
    return buildCommandFrame(command.operation, command.code, value);
}

std::uint8_t baudrateValue(int itemIndex)
{
    return radioGroupValue(setting::UserBaudrate, itemIndex, 3);
}

std::uint8_t rfModeValue(int itemIndex)
{
    return radioGroupValue(setting::RFMode, itemIndex, 2);
}

std::uint8_t rfDataRateValue(int itemIndex)
{
    return radioGroupValue(setting::RFDataRate, itemIndex, 0);
}

std::uint8_t rfGainValue(int itemIndex)
{
    return radioGroupValue(setting::RFGain, itemIndex, 3);
}

std::uint8_t positionValue(int position)
{
    // A scroll bar keeps its position in range; clamping keeps a stray value from wrapping.
    return static_cast<std::uint8_t>(std::clamp(position, 0, 255));
}
