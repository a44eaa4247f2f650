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

// Bytes shown as "<0xNN>".
bool writtenOut(unsigned char byte)
{
    return byte < ControlCount;
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

void ControlMarks::append(std::string_view bytes)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!writtenOut(byte) && byte != '<')
            continue;
        if (m_count % 64 == 0)
            m_words.push_back(0);
        if (writtenOut(byte))
            m_words.back() |= std::uint64_t{1} << (m_count % 64);
        ++m_count;
    }
}

void ControlMarks::clear()
{
    m_words.clear();
    m_count = 0;
}

std::string receivedBytes(std::string_view text, const ControlMarks &marks)
{
    constexpr std::size_t FormLength = 6; // "<0xNN>"
    std::string bytes;
    bytes.reserve(text.size());
    std::uint64_t mark = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('<', at);
        bytes.append(text.substr(at, open == text.npos ? text.npos : open - at));
        if (open == text.npos)
            break;
        const bool control = mark < marks.size() && marks[mark];
        ++mark;
        if (control && open + FormLength <= text.size()) {
            bytes.push_back(static_cast<char>(HexStr2ToByte(text.substr(open + 3, 2))));
            at = open + FormLength;
        } else {
            bytes.push_back('<');
            at = open + 1;
        }
    }
    return bytes;
}
