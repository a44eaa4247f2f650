// The module's settings, one row each: everything the window and zephra-cli know
// about a setting. The command sequences (CommandSet.h) and the window's controls follow the
// rows; docs/changing.md walks through adding one. Tables and pure functions; callable from
// any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The module's codes: its settings' and the two it only reads.
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

// How the setup tab shows a setting: a radio group whose item index is the value, or a
// scroll bar whose position is the value, with a text box beside it in decimal or in two
// upper-case hex digits.
enum class SettingControl { RadioGroup, DecimalScrollBar, HexScrollBar };

struct SettingRow
{
    std::uint8_t code;
    // zephra-cli's name for the setting, on the command line and in profiles.
    std::string_view word;
    SettingControl control;
    // Values 0..maxValue are in range.
    std::uint8_t maxValue;
    // What is written back after the module reported a value out of range: a radio group
    // then shows no selection and sends the module's default; the channel bar stays at 0.
    std::uint8_t outOfRangeValue;
    // Radio groups: the word of value 0, 1, ... (zephra-cli's value texts).
    std::span<const std::string_view> valueWords;
    // The text of an in-range value: its word, or the text shown beside the scroll bar
    // (the channel in decimal "7", an ID code as two hex digits "0A").
    std::string (*format)(const SettingRow &row, std::uint8_t value);
};

// The row formats: a radio group's value word, a bar's value in decimal or in two hex digits.
std::string wordText(const SettingRow &row, std::uint8_t value);
std::string decimalText(const SettingRow &row, std::uint8_t value);
std::string hexText(const SettingRow &row, std::uint8_t value);

namespace settingWords {

inline constexpr std::string_view baud[] = {"1200", "2400", "4800", "9600", "19200"};
inline constexpr std::string_view mode[] = {"receive", "transmit", "auto"};
inline constexpr std::string_view rate[] = {"250k", "1M"};
inline constexpr std::string_view power[] = {"-20", "-10", "-5", "0"};

} // namespace settingWords

// The settings in the order the module's commands send them.
inline constexpr SettingRow settingTable[] = {
    {setting::UserBaudrate, "baud", SettingControl::RadioGroup, 4, 3, settingWords::baud, wordText},
    {setting::RFMode, "mode", SettingControl::RadioGroup, 2, 2, settingWords::mode, wordText},
    {setting::RFDataRate, "rate", SettingControl::RadioGroup, 1, 0, settingWords::rate, wordText},
    {setting::RFGain, "power", SettingControl::RadioGroup, 3, 3, settingWords::power, wordText},
    {setting::RFChannel, "channel", SettingControl::DecimalScrollBar, 124, 0, {}, decimalText},
    {setting::RX1IDCode, "rx-id", SettingControl::HexScrollBar, 255, 0, {}, hexText},
    {setting::TXDIDCode, "tx-id", SettingControl::HexScrollBar, 255, 0, {}, hexText},
};

constexpr std::span<const SettingRow> settingRows()
{
    return settingTable;
}

// The row of a setting code; nullptr for every other code, whose replies are ignored.
constexpr const SettingRow *findSetting(std::uint8_t code)
{
    for (const SettingRow &row : settingTable) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

// What the rest of the program takes for granted about the rows.
constexpr bool settingTableHolds()
{
    for (const SettingRow &row : settingTable) {
        // Each code once; the firmware code's reply is not a setting's.
        if (findSetting(row.code) != &row || row.code == setting::BiosVersion ||
            row.code == setting::RX2IDCode)
            return false;
        // A radio group has a word for every value in range; a bar none.
        const bool group = row.control == SettingControl::RadioGroup;
        if (row.valueWords.size() != (group ? row.maxValue + 1u : 0u) ||
            row.outOfRangeValue > row.maxValue)
            return false;
    }
    return true;
}
static_assert(settingTableHolds(), "a setting row breaks a rule of settingTableHolds()");

// The largest setting code: what a store indexed by code must hold.
constexpr std::uint8_t largestSettingCode()
{
    std::uint8_t largest = 0;
    for (const SettingRow &row : settingTable)
        largest = row.code > largest ? row.code : largest;
    return largest;
}

// The row of a zephra-cli word; nullptr when there is none.
const SettingRow *findSettingWord(std::string_view word);

bool inRange(const SettingRow &row, std::uint8_t value);
// The text of a value as the row formats it (an out-of-range value only for scroll bars).
std::string settingText(const SettingRow &row, std::uint8_t value);
// The value written back for a value read: itself when in range, else outOfRangeValue.
std::uint8_t writeBackValue(const SettingRow &row, std::uint8_t read);
// A radio group's item index as the value byte: the index of an item, else (no selection,
// -1) outOfRangeValue: 9600 BPS, auto direction, 250 Kbps, +0 dBm.
std::uint8_t itemValue(const SettingRow &row, int itemIndex);
// A scroll bar's position as the value byte (channel 0..124, ID codes 0..255).
std::uint8_t positionValue(int position);
