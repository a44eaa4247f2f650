// How the terminal shows a received byte, as one table, and the text of received bytes made
// with it and read back. The text stays a byte string: a character of the Windows-1252 code
// page once it reaches a control. Pure functions, callable from any thread (a save turns the
// text back into bytes on its own thread); a ControlMarks belongs to one thread at a time.
#pragma once

#include "framework/core/HexPair.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace terminal {

// Per byte value, how it is shown:
//   text: in the received and lines views, 0 to 31 written out as "<0x", two upper-case hex
//     digits and ">" ("<0x0D>" for CR), 32 to 255 (DEL included) as the byte itself. No
//     received byte ever breaks a line.
//   hexColumn: in the hex view's character column, 32 to 126 as themselves, every other
//     byte as '.'.
struct ByteForms
{
    // Every text form is held in this many bytes, whatever its length, so that a formatter
    // copies it whole, without a branch.
    static constexpr std::size_t TextRoom = 8;
    std::array<std::array<char, TextRoom>, 256> text{};
    std::array<std::uint8_t, 256> textLength{};
    std::array<char, 256> hexColumn{};
};

inline constexpr ByteForms Forms = [] {
    ByteForms forms;
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (byte < 0x20) {
            forms.text[byte] = {'<', '0', 'x', hexDigit(byte >> 4), hexDigit(byte), '>'};
            forms.textLength[byte] = 6;
        } else {
            forms.text[byte][0] = static_cast<char>(byte);
            forms.textLength[byte] = 1;
        }
        forms.hexColumn[byte] = byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    return forms;
}();

// Appends the text of bytes to text; costs in proportion to bytes only.
void appendReceivedText(std::string &text, std::string_view bytes);

// The text of bytes.
std::string receivedText(std::string_view bytes);

// Which '<' of a text begin a written-out byte: one bit per '<', in order. With the text they
// give back the received bytes exactly, also where those held "<0x0D>" themselves; they cost
// one bit per '<' shown, not a second copy of what was received.
class ControlMarks
{
public:
    // Notes the bytes whose text appendReceivedText appends.
    void append(std::string_view bytes);
    // Forgets the first count marks (their text left the front of the display).
    void dropFront(std::uint64_t count);
    void clear();

    std::uint64_t size() const { return m_count - m_front; }
    bool operator[](std::uint64_t index) const
    {
        index += m_front;
        return (m_words[index / 64] >> (index % 64)) & 1;
    }

private:
    std::deque<std::uint64_t> m_words;
    // Bits held in m_words, and those of the first word that were dropped.
    std::uint64_t m_count = 0;
    std::uint64_t m_front = 0;
};

// The received bytes behind a text, from the text and the marks made with it.
std::string receivedBytes(std::string_view text, const ControlMarks &marks);

} // namespace terminal
