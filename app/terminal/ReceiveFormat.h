// How the test tab shows received bytes: 32 to 255 as the byte itself (a character of the
// Windows-1252 code page once it reaches the control), 0 to 31 written out as "<0x", two
// upper-case hex digits and ">" ("<0x0D>" for CR). No received byte ever breaks a line.
// The result stays a byte string; it becomes the toolkit's text only at the receive box. Pure
// functions, callable from any thread (a save turns the text back into bytes on its own
// thread); ControlMarks belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

// Appends the display text of bytes to text; costs in proportion to bytes only.
void appendReceivedText(std::string &text, std::string_view bytes);

// The display text of bytes.
std::string receivedText(std::string_view bytes);

// Which '<' of a display text begin a written-out control byte: one bit per '<', in order.
// With the text they give back the received bytes exactly, also where those held "<0x0D>"
// themselves; they cost one bit per '<' shown, not a second copy of what was received.
class ControlMarks
{
public:
    // Notes the bytes whose display text appendReceivedText appends.
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

// The received bytes behind a display text, from the text and the marks made with it.
std::string receivedBytes(std::string_view text, const ControlMarks &marks);
