#include "serial/settings/ComTexts.h"

#include "framework/core/IntegerText.h"

#include <cstddef>
#include <cstdint>

namespace {

// One table per enumeration, in ordinal order, read in both directions.
template<typename Enum> struct TextForm
{
    Enum value;
    std::string_view text;
};

constexpr TextForm<TBaudRate> baudRateTexts[] = {
    {brCustom, "Custom"}, {br110, "110"},       {br300, "300"},       {br600, "600"},
    {br1200, "1200"},     {br2400, "2400"},     {br4800, "4800"},     {br9600, "9600"},
    {br14400, "14400"},   {br19200, "19200"},   {br38400, "38400"},   {br56000, "56000"},
    {br57600, "57600"},   {br115200, "115200"}, {br128000, "128000"}, {br256000, "256000"},
};

constexpr TextForm<TStopBits> stopBitsTexts[] = {
    {sbOneStopBit, "1"},
    {sbOne5StopBits, "1.5"},
    {sbTwoStopBits, "2"},
};

constexpr TextForm<TDataBits> dataBitsTexts[] = {
    {dbFive, "5"},
    {dbSix, "6"},
    {dbSeven, "7"},
    {dbEight, "8"},
};

constexpr TextForm<TParityBits> parityTexts[] = {
    {prNone, "None"}, {prOdd, "Odd"}, {prEven, "Even"}, {prMark, "Mark"}, {prSpace, "Space"},
};

constexpr TextForm<TFlowControl> flowControlTexts[] = {
    {fcHardware, "Hardware"},
    {fcSoftware, "Software"},
    {fcNone, "None"},
    {fcCustom, "Custom"},
};

// DTR and RTS keep lists of their own although three texts are equal: DTR has no "Toggle".
constexpr TextForm<TDTRFlowControl> dtrControlTexts[] = {
    {dtrDisable, "Disable"},
    {dtrEnable, "Enable"},
    {dtrHandshake, "Handshake"},
};

constexpr TextForm<TRTSFlowControl> rtsControlTexts[] = {
    {rtsDisable, "Disable"},
    {rtsEnable, "Enable"},
    {rtsHandshake, "Handshake"},
    {rtsToggle, "Toggle"},
};

char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Equal apart from the case of ASCII letters; every other byte must match exactly.
bool sameTextIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    }
    return true;
}

template<typename Enum, std::size_t N>
std::string textOf(const TextForm<Enum> (&table)[N], Enum value)
{
    for (const TextForm<Enum> &form : table) {
        if (form.value == value)
            return std::string(form.text);
    }
    return {}; // an ordinal outside the enumeration has no text
}

template<typename Enum, std::size_t N>
Enum valueOf(const TextForm<Enum> (&table)[N], std::string_view text, Enum fallback)
{
    for (const TextForm<Enum> &form : table) {
        if (sameTextIgnoringCase(form.text, text))
            return form.value;
    }
    return fallback;
}

} // namespace

std::string BaudRateToText(TBaudRate value)
{
    return textOf(baudRateTexts, value);
}

TBaudRate TextToBaudRate(std::string_view text)
{
    return valueOf(baudRateTexts, text, br9600);
}

std::string StopBitsToText(TStopBits value)
{
    return textOf(stopBitsTexts, value);
}

TStopBits TextToStopBits(std::string_view text)
{
    return valueOf(stopBitsTexts, text, sbOneStopBit);
}

std::string DataBitsToText(TDataBits value)
{
    return textOf(dataBitsTexts, value);
}

TDataBits TextToDataBits(std::string_view text)
{
    return valueOf(dataBitsTexts, text, dbEight);
}

std::string ParityToText(TParityBits value)
{
    return textOf(parityTexts, value);
}

TParityBits TextToParity(std::string_view text)
{
    return valueOf(parityTexts, text, prNone);
}

std::string FlowControlToText(TFlowControl value)
{
    return textOf(flowControlTexts, value);
}

TFlowControl TextToFlowControl(std::string_view text)
{
    return valueOf(flowControlTexts, text, fcCustom);
}

std::string DTRControlToText(TDTRFlowControl value)
{
    return textOf(dtrControlTexts, value);
}

TDTRFlowControl TextToDTRControl(std::string_view text)
{
    return valueOf(dtrControlTexts, text, dtrDisable);
}

std::string RTSControlToText(TRTSFlowControl value)
{
    return textOf(rtsControlTexts, value);
}

TRTSFlowControl TextToRTSControl(std::string_view text)
{
    return valueOf(rtsControlTexts, text, rtsDisable);
}

std::string BoolToText(bool value)
{
    return value ? "Yes" : "No";
}

bool TextToBool(std::string_view text)
{
    return sameTextIgnoringCase(text, "YES");
}

std::string CharToText(char value)
{
    const unsigned code = static_cast<unsigned char>(value);
    if (code >= 33 && code <= 127)
        return std::string(1, value);
    // Appended rather than "#" + number: GCC 12 at -O3 sees a false overlap in the latter.
    std::string text(1, '#');
    text += std::to_string(code);
    return text;
}

char TextToChar(std::string_view text)
{
    if (text.empty())
        return '\0';
    if (text.size() > 1 && text[0] == '#') {
        std::int32_t code = 0;
        if (!tryTextToInt(text.substr(1), code))
            return '\0';
        return static_cast<char>(static_cast<std::uint32_t>(code) & 0xFFu);
    }
    return text[0];
}
