#include "cli/SettingWords.h"

#include "protocol/CommandSet.h"
#include "protocol/FrameCodec.h"

#include <charconv>

namespace {

constexpr std::string_view baudWords[] = {"1200", "2400", "4800", "9600", "19200"};
constexpr std::string_view modeWords[] = {"receive", "transmit", "auto"};
constexpr std::string_view rateWords[] = {"250k", "1M"};
constexpr std::string_view powerWords[] = {"-20", "-10", "-5", "0"};

constexpr SettingWord table[] = {
    {setting::UserBaudrate, "baud", SettingWord::Listed, baudWords},
    {setting::RFMode, "mode", SettingWord::Listed, modeWords},
    {setting::RFDataRate, "rate", SettingWord::Listed, rateWords},
    {setting::RFGain, "power", SettingWord::Listed, powerWords},
    {setting::RFChannel, "channel", SettingWord::Decimal, {}},
    {setting::RX1IDCode, "rx-id", SettingWord::Hex, {}},
    {setting::TXDIDCode, "tx-id", SettingWord::Hex, {}},
};

int maxValue(const SettingWord &setting)
{
    return findSetting(setting.code)->maxValue;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

} // namespace

std::span<const SettingWord> settingWords()
{
    return table;
}

const SettingWord *findSettingWord(std::string_view name)
{
    for (const SettingWord &setting : table) {
        if (setting.name == name)
            return &setting;
    }
    return nullptr;
}

const SettingWord *settingWordOf(std::uint8_t code)
{
    for (const SettingWord &setting : table) {
        if (setting.code == code)
            return &setting;
    }
    return nullptr;
}

std::optional<std::uint8_t> parseSettingValue(const SettingWord &setting, std::string_view text)
{
    switch (setting.kind) {
    case SettingWord::Listed:
        for (std::size_t i = 0; i < setting.words.size(); ++i) {
            if (setting.words[i] == text)
                return static_cast<std::uint8_t>(i);
        }
        return std::nullopt;
    case SettingWord::Decimal: {
        int value = -1;
        const char *end = text.data() + text.size();
        const auto [at, ec] = std::from_chars(text.data(), end, value);
        // Digits only: from_chars would take a leading '-'.
        if (text.empty() || text.front() == '-' || ec != std::errc() || at != end || value < 0 ||
            value > maxValue(setting))
            return std::nullopt;
        return static_cast<std::uint8_t>(value);
    }
    case SettingWord::Hex:
        if (text.size() != 2 || !isHexDigit(text[0]) || !isHexDigit(text[1]))
            return std::nullopt;
        return decodeHexPair(text);
    }
    return std::nullopt;
}

std::optional<std::string> settingValueText(const SettingWord &setting, std::uint8_t value)
{
    if (value > maxValue(setting))
        return std::nullopt;
    switch (setting.kind) {
    case SettingWord::Listed:
        return std::string(setting.words[value]);
    case SettingWord::Decimal:
        return std::to_string(value);
    case SettingWord::Hex:
        return encodeHexPair(value);
    }
    return std::nullopt;
}

std::string allowedValues(const SettingWord &setting)
{
    switch (setting.kind) {
    case SettingWord::Listed: {
        std::string text;
        for (std::string_view word : setting.words)
            text += (text.empty() ? "" : ", ") + std::string(word);
        return text;
    }
    case SettingWord::Decimal:
        return "0.." + std::to_string(maxValue(setting));
    case SettingWord::Hex:
        return "two hex digits, 00..FF";
    }
    return {};
}

std::string settingNames()
{
    std::string text;
    for (const SettingWord &setting : table)
        text += (text.empty() ? "" : ", ") + std::string(setting.name);
    return text;
}
