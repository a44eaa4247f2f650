// The words zephra-cli reads and writes for the module's settings, from the settings table
// (protocol/SettingTable.h): each setting's name on the command line and in profiles, and the
// text of each value: a radio group's words ("baud=9600", "mode=auto"), a decimal scroll bar's
// number ("channel=7"), a hex scroll bar's two hex digits ("rx-id=0A", either letter case on
// input). Pure functions, any thread.
#pragma once

#include "protocol/SettingTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The value byte that text names, or nullopt when it names none in the setting's range.
std::optional<std::uint8_t> parseSettingValue(const SettingRow &setting, std::string_view text);
// The text of a value byte, or nullopt when the byte is out of the setting's range.
std::optional<std::string> settingValueText(const SettingRow &setting, std::uint8_t value);

// For messages: "1200, 2400, 4800, 9600, 19200", "0..124", "two hex digits, 00..FF".
std::string allowedValues(const SettingRow &setting);
// For messages: "baud, mode, rate, power, channel, rx-id, tx-id".
std::string settingNames();
// For the usage text: "1200|2400|4800|9600|19200", "0..124", "HH".
std::string valueSyntax(const SettingRow &setting);
