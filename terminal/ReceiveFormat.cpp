#include "terminal/ReceiveFormat.h"

#include "protocol/FrameCodec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::size_t HexFormLength = 6; // "<0x0D>"

bool isControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20;
}

} // namespace

void appendReceivedText(std::string &text, std::string_view bytes)
{
    std::size_t controls = 0;
    for (char c : bytes)
        controls += isControl(c) ? 1 : 0;
    // Grow geometrically even where reserve() allocates exactly, so that many small appends
    // to one long text stay linear.
    const std::size_t needed = text.size() + bytes.size() + controls * (HexFormLength - 1);
    if (needed > text.capacity())
        text.reserve(std::max(needed, 2 * text.capacity()));

    for (char c : bytes) {
        if (isControl(c)) {
            text += "<0x";
            text += encodeHexPair(static_cast<std::uint8_t>(c));
            text += '>';
        } else {
            text += c;
        }
    }
}

std::string receivedText(std::string_view bytes)
{
    std::string text;
    appendReceivedText(text, bytes);
    return text;
}
