#include "serial/settings/SettingsStorage.h"

#include "serial/ComPort.h"
#include "serial/settings/ComTexts.h"

#include <string_view>

namespace {

using Port = TCustomComPort;

enum class Kind { Text, Integer };

struct SettingKey
{
    TSettingGroup group;
    const char *name;
    Kind kind;
    std::string (*text)(const Port &) = nullptr;
    void (*applyText)(Port &, std::string_view) = nullptr;
    std::int32_t (*integer)(const Port &) = nullptr;
    void (*applyInteger)(Port &, std::int32_t) = nullptr;
    bool customSpeedOnly = false; // only while BaudRate is brCustom
};

constexpr SettingKey textKey(TSettingGroup group, const char *name,
                             std::string (*text)(const Port &),
                             void (*apply)(Port &, std::string_view))
{
    return {group, name, Kind::Text, text, apply};
}

constexpr SettingKey integerKey(TSettingGroup group, const char *name,
                                std::int32_t (*integer)(const Port &),
                                void (*apply)(Port &, std::int32_t))
{
    return {group, name, Kind::Integer, nullptr, nullptr, integer, apply};
}

constexpr SettingKey customSpeedKey(TSettingGroup group, const char *name,
                                    std::int32_t (*integer)(const Port &),
                                    void (*apply)(Port &, std::int32_t))
{
    SettingKey key = integerKey(group, name, integer, apply);
    key.customSpeedOnly = true;
    return key;
}

// A missing "CustomBaudRate" entry of an INI section reads as this speed, whatever the port has.
constexpr std::int32_t kCustomBaudRateFallback = 9600;

// Within a group the order of this table is the order of saving and loading.
constexpr SettingKey kSettingKeys[] = {
    textKey(
        sgBasic, "Port", [](const Port &p) { return p.Port(); },
        [](Port &p, std::string_view t) { p.setPort(std::string(t)); }),
    textKey(
        sgBasic, "BaudRate", [](const Port &p) { return BaudRateToText(p.BaudRate()); },
        [](Port &p, std::string_view t) { p.setBaudRate(TextToBaudRate(t)); }),
    customSpeedKey(
        sgBasic, "CustomBaudRate", [](const Port &p) { return p.CustomBaudRate(); },
        [](Port &p, std::int32_t v) { p.setCustomBaudRate(v); }),
    textKey(
        sgBasic, "StopBits", [](const Port &p) { return StopBitsToText(p.StopBits()); },
        [](Port &p, std::string_view t) { p.setStopBits(TextToStopBits(t)); }),
    textKey(
        sgBasic, "DataBits", [](const Port &p) { return DataBitsToText(p.DataBits()); },
        [](Port &p, std::string_view t) { p.setDataBits(TextToDataBits(t)); }),
    textKey(
        sgBasic, "Parity", [](const Port &p) { return ParityToText(p.Parity().Bits()); },
        [](Port &p, std::string_view t) { p.Parity().setBits(TextToParity(t)); }),
    textKey(
        sgBasic, "FlowControl",
        [](const Port &p) { return FlowControlToText(p.FlowControl().FlowControl()); },
        [](Port &p, std::string_view t) { p.FlowControl().setFlowControl(TextToFlowControl(t)); }),

    textKey(
        sgMisc, "EventChar", [](const Port &p) { return CharToText(p.EventChar()); },
        [](Port &p, std::string_view t) { p.setEventChar(TextToChar(t)); }),
    textKey(
        sgMisc, "DiscardNull", [](const Port &p) { return BoolToText(p.DiscardNull()); },
        [](Port &p, std::string_view t) { p.setDiscardNull(TextToBool(t)); }),

    textKey(
        sgParity, "Parity.Check", [](const Port &p) { return BoolToText(p.Parity().Check()); },
        [](Port &p, std::string_view t) { p.Parity().setCheck(TextToBool(t)); }),
    textKey(
        sgParity, "Parity.Replace", [](const Port &p) { return BoolToText(p.Parity().Replace()); },
        [](Port &p, std::string_view t) { p.Parity().setReplace(TextToBool(t)); }),
    textKey(
        sgParity, "Parity.ReplaceChar",
        [](const Port &p) { return CharToText(p.Parity().ReplaceChar()); },
        [](Port &p, std::string_view t) { p.Parity().setReplaceChar(TextToChar(t)); }),

    integerKey(
        sgBuffer, "Buffer.OutputSize", [](const Port &p) { return p.Buffer().OutputSize(); },
        [](Port &p, std::int32_t v) { p.Buffer().setOutputSize(v); }),
    integerKey(
        sgBuffer, "Buffer.InputSize", [](const Port &p) { return p.Buffer().InputSize(); },
        [](Port &p, std::int32_t v) { p.Buffer().setInputSize(v); }),

    integerKey(
        sgTimeouts, "Timeouts.ReadInterval",
        [](const Port &p) { return p.Timeouts().ReadInterval(); },
        [](Port &p, std::int32_t v) { p.Timeouts().setReadInterval(v); }),
    integerKey(
        sgTimeouts, "Timeouts.ReadTotalConstant",
        [](const Port &p) { return p.Timeouts().ReadTotalConstant(); },
        [](Port &p, std::int32_t v) { p.Timeouts().setReadTotalConstant(v); }),
    integerKey(
        sgTimeouts, "Timeouts.ReadTotalMultiplier",
        [](const Port &p) { return p.Timeouts().ReadTotalMultiplier(); },
        [](Port &p, std::int32_t v) { p.Timeouts().setReadTotalMultiplier(v); }),
    integerKey(
        sgTimeouts, "Timeouts.WriteTotalConstant",
        [](const Port &p) { return p.Timeouts().WriteTotalConstant(); },
        [](Port &p, std::int32_t v) { p.Timeouts().setWriteTotalConstant(v); }),
    integerKey(
        sgTimeouts, "Timeouts.WriteTotalMultiplier",
        [](const Port &p) { return p.Timeouts().WriteTotalMultiplier(); },
        [](Port &p, std::int32_t v) { p.Timeouts().setWriteTotalMultiplier(v); }),

    textKey(
        sgFlowControl, "FlowControl.ControlRTS",
        [](const Port &p) { return RTSControlToText(p.FlowControl().ControlRTS()); },
        [](Port &p, std::string_view t) { p.FlowControl().setControlRTS(TextToRTSControl(t)); }),
    textKey(
        sgFlowControl, "FlowControl.ControlDTR",
        [](const Port &p) { return DTRControlToText(p.FlowControl().ControlDTR()); },
        [](Port &p, std::string_view t) { p.FlowControl().setControlDTR(TextToDTRControl(t)); }),
    textKey(
        sgFlowControl, "FlowControl.DSRSensitivity",
        [](const Port &p) { return BoolToText(p.FlowControl().DSRSensitivity()); },
        [](Port &p, std::string_view t) { p.FlowControl().setDSRSensitivity(TextToBool(t)); }),
    textKey(
        sgFlowControl, "FlowControl.OutCTSFlow",
        [](const Port &p) { return BoolToText(p.FlowControl().OutCTSFlow()); },
        [](Port &p, std::string_view t) { p.FlowControl().setOutCTSFlow(TextToBool(t)); }),
    textKey(
        sgFlowControl, "FlowControl.OutDSRFlow",
        [](const Port &p) { return BoolToText(p.FlowControl().OutDSRFlow()); },
        [](Port &p, std::string_view t) { p.FlowControl().setOutDSRFlow(TextToBool(t)); }),
    textKey(
        sgFlowControl, "FlowControl.TxContinueOnXoff",
        [](const Port &p) { return BoolToText(p.FlowControl().TxContinueOnXoff()); },
        [](Port &p, std::string_view t) { p.FlowControl().setTxContinueOnXoff(TextToBool(t)); }),
    textKey(
        sgFlowControl, "FlowControl.XonXoffIn",
        [](const Port &p) { return BoolToText(p.FlowControl().XonXoffIn()); },
        [](Port &p, std::string_view t) { p.FlowControl().setXonXoffIn(TextToBool(t)); }),
    textKey(
        sgFlowControl, "FlowControl.XonXoffOut",
        [](const Port &p) { return BoolToText(p.FlowControl().XonXoffOut()); },
        [](Port &p, std::string_view t) { p.FlowControl().setXonXoffOut(TextToBool(t)); }),
    textKey(
        sgFlowControl, "FlowControl.XoffChar",
        [](const Port &p) { return CharToText(p.FlowControl().XoffChar()); },
        [](Port &p, std::string_view t) { p.FlowControl().setXoffChar(TextToChar(t)); }),
    textKey(
        sgFlowControl, "FlowControl.XonChar",
        [](const Port &p) { return CharToText(p.FlowControl().XonChar()); },
        [](Port &p, std::string_view t) { p.FlowControl().setXonChar(TextToChar(t)); }),
};

// Calls visit(key) for each key of the selected groups, in walking order. Whether a
// speed-only key takes part is decided when the walk reaches it, after the keys before it.
template<typename Visit> void walk(const Port &port, TSettingGroups groups, Visit visit)
{
    for (TSettingGroup group : kSettingGroupOrder) {
        if (!groups.contains(group))
            continue;
        for (const SettingKey &key : kSettingKeys) {
            if (key.group != group)
                continue;
            if (key.customSpeedOnly && port.BaudRate() != brCustom)
                continue;
            visit(key);
        }
    }
}

} // namespace

void saveSettings(const TCustomComPort &port, TSettingGroups groups, SettingsStore &store)
{
    walk(port, groups, [&](const SettingKey &key) {
        if (key.kind == Kind::Text)
            store.writeText(key.name, key.text(port));
        else
            store.writeInteger(key.name, key.integer(port));
    });
}

void loadSettings(TCustomComPort &port, TSettingGroups groups, SettingsStore &store)
{
    walk(port, groups, [&](const SettingKey &key) {
        if (key.kind == Kind::Text) {
            key.applyText(port, store.readText(key.name, key.text(port)));
        } else {
            const std::int32_t fallback =
                key.customSpeedOnly ? kCustomBaudRateFallback : key.integer(port);
            key.applyInteger(port, store.readInteger(key.name, fallback));
        }
    });
}
