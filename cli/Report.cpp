#include "cli/Report.h"

#include "cli/SettingWords.h"
#include "framework/core/AnsiText.h"
#include "framework/core/Application.h"
#include "framework/core/Format.h"
#include "framework/core/HexPair.h"
#include "protocol/FrameCodec.h"

std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += {'\\', c};
        else if (byte < 0x20)
            out += formatText("\\u%04x", byte);
        else
            out += c;
    }
    return out + "\"";
}

std::string jsonValue(std::uint8_t code, std::uint8_t value)
{
    const SettingRow &setting = *findSetting(code);
    const auto text = settingValueText(setting, value);
    if (!text)
        return "null";
    return setting.control == SettingControl::DecimalScrollBar ? *text : jsonString(*text);
}

std::string firmwareText(const std::string &firmware)
{
    return ansiToUtf8(firmware);
}

std::string shownValue(std::uint8_t code, std::uint8_t value)
{
    const auto text = settingValueText(*findSetting(code), value);
    return text ? *text : "unknown (" + HexByteToStr2(value) + ")";
}

std::string textReport(const ModuleState &state)
{
    std::string out = "firmware=" + firmwareText(state.firmware) + "\n";
    for (const SettingRow &setting : settingRows())
        out += std::string(setting.word) + "=" +
               shownValue(setting.code, state.values.at(setting.code)) + "\n";
    return out;
}

std::string jsonSettings(const SettingValues &values)
{
    std::string out;
    for (const SettingRow &setting : settingRows()) {
        out += (out.empty() ? "" : ", ") + jsonString(std::string(setting.word)) + ": " +
               jsonValue(setting.code, values.at(setting.code));
    }
    return out;
}

std::string jsonReport(const ModuleState &state)
{
    return "{\"firmware\": " + jsonString(firmwareText(state.firmware)) + ", " +
           jsonSettings(state.values) + "}\n";
}

std::string portErrorText(const EComPort &error)
{
    std::string text = Application::displayText(error.message()) + "\n";
    if (!error.advice().empty())
        text += error.advice() + "\n";
    return text;
}
