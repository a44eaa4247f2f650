#include "cli/SettingWords.h"

#include "framework/core/HexPair.h"

#include <charconv>

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string joinedWords(const SettingRow &setting, std::string_view separator)
{
    std::string text;
    for (std::string_view word : setting.valueWords)
        text += (text.empty() ? "" : std::string(separator)) + std::string(word);
    return text;
}

} // namespace

std::optional<std::uint8_t> parseSettingValue(const SettingRow &setting, std::string_view text)
{
    switch (setting.control) {
    case SettingControl::RadioGroup:
        for (std::size_t i = 0; i < setting.valueWords.size(); ++i) {
            if (setting.valueWords[i] == text)
                return static_cast<std::uint8_t>(i);
        }
        return std::nullopt;
    case SettingControl::DecimalScrollBar: {
        int value = -1;
        const char *end = text.data() + text.size();
        const auto [at, ec] = std::from_chars(text.data(), end, value);
        // Digits only: from_chars would take a leading '-'.
        if (text.empty() || text.front() == '-' || ec != std::errc() || at != end || value < 0 ||
            value > setting.maxValue)
            return std::nullopt;
        return static_cast<std::uint8_t>(value);
    }
    case SettingControl::HexScrollBar:
        if (text.size() != 2 || !isHexDigit(text[0]) || !isHexDigit(text[1]))
            return std::nullopt;
        return HexStr2ToByte(text);
    }
    return std::nullopt;
}

std::optional<std::string> settingValueText(const SettingRow &setting, std::uint8_t value)
{
    if (!inRange(setting, value))
        return std::nullopt;
    return settingText(setting, value);
}

std::string allowedValues(const SettingRow &setting)
{
    switch (setting.control) {
    case SettingControl::RadioGroup:
        return joinedWords(setting, ", ");
    case SettingControl::DecimalScrollBar:
        return "0.." + std::to_string(setting.maxValue);
    case SettingControl::HexScrollBar:
        return "two hex digits, 00..FF";
    }
    return {};
}

std::string settingNames()
{
    std::string text;
    for (const SettingRow &setting : settingRows())
        text += (text.empty() ? "" : ", ") + std::string(setting.word);
    return text;
}

std::string valueSyntax(const SettingRow &setting)
{
    switch (setting.control) {
    case SettingControl::RadioGroup:
        return joinedWords(setting, "|");
    case SettingControl::DecimalScrollBar:
        return "0.." + std::to_string(setting.maxValue);
    case SettingControl::HexScrollBar:
        return "HH";
    }
    return {};
}
