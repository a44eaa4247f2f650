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
    const std::size_t start = text.size();
    const std::size_t needed = start + bytes.size() + controls * (HexFormLength - 1);
    if (needed > text.capacity())
        text.reserve(std::max(needed, 2 * text.capacity()));

    // Written in place: the receive handler formats every kilobyte that arrives.
    text.resize(needed);
    char *out = text.data() + start;
    for (char c : bytes) {
        if (isControl(c)) {
            const std::string hex = encodeHexPair(static_cast<std::uint8_t>(c));
            *out++ = '<';
            *out++ = '0';
            *out++ = 'x';
            *out++ = hex[0];
            *out++ = hex[1];
            *out++ = '>';
        } else {
            *out++ = c;
        }
    }
}

std::string receivedText(std::string_view bytes)
{
    std::string text;
    appendReceivedText(text, bytes);
    return text;
}
