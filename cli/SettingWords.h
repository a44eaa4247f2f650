// The words zephra-cli reads and writes for the module's seven settings, from the settings
// table (protocol/SettingTable.h): each setting's name on the command line and in profiles,
// and the text of each value:
//   baud    = 1200 | 2400 | 4800 | 9600 | 19200
//   mode    = receive | transmit | auto
//   rate    = 250k | 1M
//   power   = -20 | -10 | -5 | 0          (dBm)
//   channel = 0..124                       (decimal)
//   rx-id, tx-id = two hex digits          (00..FF, either letter case on input)
// Pure functions, any thread.
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
