#include "protocol/SettingTable.h"

#include "framework/core/HexPair.h"

#include <algorithm>

std::string wordText(const SettingRow &row, std::uint8_t value)
{
    return std::string(row.valueWords[value]);
}

std::string decimalText(const SettingRow &, std::uint8_t value)
{
    return std::to_string(value);
}

std::string hexText(const SettingRow &, std::uint8_t value)
{
    return HexByteToStr2(value);
}

const SettingRow *findSettingWord(std::string_view word)
{
    for (const SettingRow &row : settingTable) {
        if (row.word == word)
            return &row;
    }
    return nullptr;
}

bool inRange(const SettingRow &row, std::uint8_t value)
{
    return value <= row.maxValue;
}

std::string settingText(const SettingRow &row, std::uint8_t value)
{
    return row.format(row, value);
}

std::uint8_t writeBackValue(const SettingRow &row, std::uint8_t read)
{
    return inRange(row, read) ? read : row.outOfRangeValue;
}

std::uint8_t itemValue(const SettingRow &row, int itemIndex)
{
    if (itemIndex >= 0 && itemIndex <= row.maxValue)
        return static_cast<std::uint8_t>(itemIndex);
    return row.outOfRangeValue;
}

std::uint8_t positionValue(int position)
{
    // A scroll bar keeps its position in range; clamping keeps a stray value from wrapping.
    return static_cast<std::uint8_t>(std::clamp(position, 0, 255));
}
