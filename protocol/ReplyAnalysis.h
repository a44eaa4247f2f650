// Decides what one assembled reply does to the setup tab, without touching a window. The
// text's length picks the layout: 11 is a setting reply, 23 a firmware-code reply, anything
// else is ignored, as is a reply whose checksum does not match or whose setting code has no
// control (06, and 08 and above). The operation byte and the firmware reply's header bytes
// only count through the checksum, so the acknowledgement of a write is applied like the
// answer to a read. Pure function; the window calls it on the UI thread for every reply the
// assembler hands on and applies the result, which also counts as a received reply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

// A firmware-code reply: the 14 characters to show as the BIOS code, with "Connect Ready".
struct FirmwareCodeUpdate
{
    std::string code;
};

// A setting reply for a setting the setup tab shows.
struct SettingUpdate
{
    std::uint8_t code;  // setting code: 00 to 05 or 07
    std::uint8_t value; // the value byte as received
    // Radio groups: the item index to select, -1 (no selection) when out of range.
    // Scroll bars: the position the bar ends at; a channel out of range leaves it at 0.
    int controlValue;
};

using ReplyEffect = std::variant<std::monostate, FirmwareCodeUpdate, SettingUpdate>;

// What reply does; std::monostate when it is ignored.
ReplyEffect analyseReply(std::string_view reply);
