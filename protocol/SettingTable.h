// The module's seven settings, one row each: everything the window and zephra-cli know about a
// setting. Adding a setting means one row here plus its control binding in the window
// (app/setup/SettingBindings.h). Tables and pure functions; callable from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

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

// The seven settings in the order the module's commands send them (codes 00 to 05 and 07).
std::span<const SettingRow> settingRows();
// The row of a setting code; nullptr for every other code, whose replies are ignored.
const SettingRow *findSetting(std::uint8_t code);
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
