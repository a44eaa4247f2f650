#include "terminal/ReceivedText.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace terminal {

namespace {

struct Form
{
    std::array<char, 6> text{};
    std::uint8_t length = 0; // 0: the byte stands for itself
};

constexpr char upperHexDigit(unsigned nibble)
{
    return "0123456789ABCDEF"[nibble & 15];
}

// The one rule, as a table: which bytes are written out and how.
constexpr std::array<Form, 256> Forms = [] {
    std::array<Form, 256> forms{};
    for (unsigned byte = 0; byte < 0x20; ++byte)
        forms[byte] = {{'<', '0', 'x', upperHexDigit(byte >> 4), upperHexDigit(byte), '>'}, 6};
    return forms;
}();

} // namespace

void appendReceivedText(std::string &text, std::string_view bytes)
{
    // Runs of bytes shown as themselves go in whole.
    std::size_t run = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const Form &form = Forms[static_cast<unsigned char>(bytes[at])];
        if (form.length == 0)
            continue;
        text.append(bytes.substr(run, at - run));
        text.append(form.text.data(), form.length);
        run = at + 1;
    }
    text.append(bytes.substr(run));
}

} // namespace terminal
