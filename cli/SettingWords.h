// The words zephra-cli uses for the module's seven settings, one table keyed by setting code:
// each setting's name on the command line and in profiles, and the text of each value:
//   baud    = 1200 | 2400 | 4800 | 9600 | 19200
//   mode    = receive | transmit | auto
//   rate    = 250k | 1M
//   power   = -20 | -10 | -5 | 0          (dBm)
//   channel = 0..124                       (decimal)
//   rx-id, tx-id = two hex digits          (00..FF, either letter case on input)
// The value byte of a listed word is its position in the list, as the window's radio groups
// number their items; ranges come from the command set. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct SettingWord
{
    enum Kind { Listed, Decimal, Hex };

    std::uint8_t code;
    std::string_view name;
    Kind kind;
    std::span<const std::string_view> words; // Listed only: the word of value 0, 1, ...
};

// The seven settings in the order the module's commands send them.
std::span<const SettingWord> settingWords();
// The setting of that name, or nullptr.
const SettingWord *findSettingWord(std::string_view name);
// The setting of that code (00..05, 07); nullptr for any other code.
const SettingWord *settingWordOf(std::uint8_t code);

// The value byte that text names, or nullopt when it names none in the setting's range.
std::optional<std::uint8_t> parseSettingValue(const SettingWord &setting, std::string_view text);
// The text of a value byte, or nullopt when the byte is out of the setting's range.
std::optional<std::string> settingValueText(const SettingWord &setting, std::uint8_t value);

// For messages: "1200, 2400, 4800, 9600, 19200", "0..124", "two hex digits, 00..FF".
std::string allowedValues(const SettingWord &setting);
// For messages: "baud, mode, rate, power, channel, rx-id, tx-id".
std::string settingNames();
