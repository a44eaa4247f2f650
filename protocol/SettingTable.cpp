#include "protocol/SettingTable.h"

#include "framework/core/HexPair.h"
#include "protocol/CommandSet.h"

#include <algorithm>

namespace {

constexpr std::string_view baudWords[] = {"1200", "2400", "4800", "9600", "19200"};
constexpr std::string_view modeWords[] = {"receive", "transmit", "auto"};
constexpr std::string_view rateWords[] = {"250k", "1M"};
constexpr std::string_view powerWords[] = {"-20", "-10", "-5", "0"};

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

using enum SettingControl;

constexpr SettingRow rows[] = {
    {setting::UserBaudrate, "baud", RadioGroup, 4, 3, baudWords, wordText},
    {setting::RFMode, "mode", RadioGroup, 2, 2, modeWords, wordText},
    {setting::RFDataRate, "rate", RadioGroup, 1, 0, rateWords, wordText},
    {setting::RFGain, "power", RadioGroup, 3, 3, powerWords, wordText},
    {setting::RFChannel, "channel", DecimalScrollBar, 124, 0, {}, decimalText},
    {setting::RX1IDCode, "rx-id", HexScrollBar, 255, 0, {}, hexText},
    {setting::TXDIDCode, "tx-id", HexScrollBar, 255, 0, {}, hexText},
};

} // namespace

std::span<const SettingRow> settingRows()
{
    return rows;
}

const SettingRow *findSetting(std::uint8_t code)
{
    for (const SettingRow &row : rows) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

const SettingRow *findSettingWord(std::string_view word)
{
    for (const SettingRow &row : rows) {
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
