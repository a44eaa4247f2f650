#include "protocol/ReplyAnalysis.h"

#include "protocol/CommandSet.h"
#include "protocol/FrameCodec.h"

ReplyEffect analyseReply(std::string_view reply)
{
    if (reply.size() == frame::FirmwareReplyLength) {
        if (auto code = checkFirmwareReply(reply))
            return FirmwareCodeUpdate{std::move(*code)};
        return {};
    }

    const auto fields = checkSettingReply(reply);
    if (!fields)
        return {};
    const SettingInfo *info = findSetting(fields->code);
    if (!info)
        return {};

    SettingUpdate update{fields->code, fields->value, fields->value <= info->maxValue, 0, {}};
    switch (info->control) {
    case SettingControl::RadioGroup:
        update.controlValue = update.inRange ? update.value : -1;
        break;
    case SettingControl::DecimalScrollBar:
        // The bar is asked for position -1 and stays at its minimum, 0.
        update.controlValue = update.inRange ? update.value : 0;
        break;
    case SettingControl::HexScrollBar:
        update.controlValue = update.value;
        break;
    }
    update.display = settingDisplay(*info, update.controlValue);
    return update;
}
