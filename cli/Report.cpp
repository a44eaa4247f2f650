#include "cli/Report.h"

#include "cli/SettingWords.h"
#include "framework/core/Ansi.h"
#include "framework/core/Application.h"
#include "framework/core/Format.h"
#include "framework/core/HexPair.h"
#include "protocol/FrameCodec.h"

std::string jsonText(const std::string &text)
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

std::string firmwareText(const std::string &firmware)
{
    return fromAnsi(firmware).toUtf8().toStdString();
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

std::string jsonReport(const ModuleState &state)
{
    std::string out = "{\"firmware\": " + jsonText(firmwareText(state.firmware));
    for (const SettingRow &setting : settingRows()) {
        const std::uint8_t value = state.values.at(setting.code);
        const auto text = settingValueText(setting, value);
        out += ", " + jsonText(std::string(setting.word)) + ": ";
        if (!text)
            out += "null";
        else if (setting.control == SettingControl::DecimalScrollBar)
            out += *text;
        else
            out += jsonText(*text);
    }
    return out + "}\n";
}

std::string portErrorText(const EComPort &error)
{
    std::string text = Application::displayText(error.message()) + "\n";
    if (!error.advice().empty())
        text += error.advice() + "\n";
    return text;
}
