#include "protocol/ReplyAnalysis.h"

#include "protocol/FrameCodec.h"
#include "protocol/SettingTable.h"

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
    const SettingRow *row = findSetting(fields->code);
    if (!row)
        return {};

    int controlValue = fields->value;
    if (!inRange(*row, fields->value)) {
        // A radio group then selects nothing; a bar is asked for position -1 and stays at its
        // minimum, the row's out-of-range value.
        controlValue = row->control == SettingControl::RadioGroup ? -1 : row->outOfRangeValue;
    }
    return SettingUpdate{fields->code, fields->value, controlValue};
}
