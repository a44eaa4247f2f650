#include "app/terminal/ReceiveFormat.h"

#include "framework/core/HexPair.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t ControlCount = 0x20;
// Every display form is copied as this many bytes, whatever its length, so that the loop
// over the bytes has no branch; the text keeps this much room beyond its end meanwhile.
constexpr std::size_t FormBytes = 8;

struct DisplayForms
{
    std::array<std::array<char, FormBytes>, 256> form{};
    std::array<std::uint8_t, 256> length{};
};

// The display form of every byte, made once: the handler formats every kilobyte that arrives.
const DisplayForms &displayForms()
{
    static const DisplayForms forms = [] {
        DisplayForms made;
        for (std::size_t byte = 0; byte < 256; ++byte) {
            if (byte < ControlCount) {
                made.form[byte] = {'<', '0', 'x', hexDigit(byte >> 4), hexDigit(byte), '>'};
                made.length[byte] = 6;
            } else {
                made.form[byte][0] = static_cast<char>(byte);
                made.length[byte] = 1;
            }
        }
        return made;
    }();
    return forms;
}

} // namespace

void appendReceivedText(std::string &text, std::string_view bytes)
{
    const DisplayForms &forms = displayForms();
    std::size_t length = 0;
    for (char c : bytes)
        length += forms.length[static_cast<unsigned char>(c)];
    // Grow geometrically even where reserve() allocates exactly, so that many small appends
    // to one long text stay linear.
    const std::size_t start = text.size();
    const std::size_t needed = start + length;
    const std::size_t room = needed + FormBytes;
    if (room > text.capacity())
        text.reserve(std::max(room, 2 * text.capacity()));

    text.resize(room);
    char *out = text.data() + start;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        std::memcpy(out, forms.form[byte].data(), FormBytes);
        out += forms.length[byte];
    }
    text.resize(needed);
}

std::string receivedText(std::string_view bytes)
{
    std::string text;
    appendReceivedText(text, bytes);
    return text;
}
