#include "app/terminal/ReceiveFormat.h"

#include "framework/core/HexPair.h"

#include <algorithm>
#include <array>
#include <bit>
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

// A flood is looked at eight bytes at a time: a word of them, and in it one flag per byte, its
// high bit. Text holds long runs without a control byte or a '<', and random data a third of
// its words.
constexpr std::size_t WordBytes = 8;
constexpr std::uint64_t EachByte = 0x0101010101010101;
constexpr std::uint64_t Flags = 0x80 * EachByte;
static_assert(std::endian::native == std::endian::little, "byte i of a word is its i-th byte");

std::uint64_t loadWord(const char *bytes)
{
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, WordBytes);
    return word;
}

// The flags of the bytes written out. Seven low bits plus 0x80 - 0x20 reach the flag from 0x20
// on and never carry into the next byte, so the flags left clear are the control bytes'.
std::uint64_t writtenOutFlags(std::uint64_t word)
{
    const std::uint64_t shownAsThemselves =
        (((word & ~Flags) + (0x80 - ControlCount) * EachByte) | word) & Flags;
    return ~shownAsThemselves & Flags;
}

std::uint64_t lessThanSignFlags(std::uint64_t word)
{
    const std::uint64_t other = word ^ ('<' * EachByte);
    const std::uint64_t nonZero = (((other & ~Flags) + ~Flags) | other) & Flags;
    return ~nonZero & Flags;
}

unsigned flagCount(std::uint64_t flags)
{
    return static_cast<unsigned>(((flags >> 7) * EachByte) >> 56);
}

// The flags as eight bits, byte i's as bit i.
unsigned flagBits(std::uint64_t flags)
{
    return static_cast<unsigned>(((flags >> 7) * 0x0102040810204080) >> 56);
}

// For four bytes, indexed by their written-out bits and (above them) their marked bits: the
// written-out bits of the marked bytes, in order, and (above them) how many are marked.
constexpr std::array<std::uint8_t, 256> packedMarks()
{
    std::array<std::uint8_t, 256> packed{};
    for (unsigned writtenOut = 0; writtenOut < 16; ++writtenOut) {
        for (unsigned marked = 0; marked < 16; ++marked) {
            unsigned bits = 0;
            unsigned count = 0;
            for (unsigned i = 0; i < 4; ++i) {
                if ((marked >> i) & 1)
                    bits |= ((writtenOut >> i) & 1) << count++;
            }
            packed[writtenOut | marked << 4] = static_cast<std::uint8_t>(bits | count << 4);
        }
    }
    return packed;
}
constexpr std::array<std::uint8_t, 256> PackedMarks = packedMarks();

} // namespace

void appendReceivedText(std::string &text, std::string_view bytes)
{
    const DisplayForms &forms = displayForms();
    constexpr std::size_t Longer = 5; // "<0xNN>" against the byte itself
    std::size_t at = 0;
    std::size_t length = bytes.size();
    for (; at + WordBytes <= bytes.size(); at += WordBytes)
        length += Longer * flagCount(writtenOutFlags(loadWord(bytes.data() + at)));
    for (; at < bytes.size(); ++at)
        length += Longer * writtenOut(static_cast<unsigned char>(bytes[at]));
    // Grow geometrically even where reserve() allocates exactly, so that many small appends
    // to one long text stay linear.
    const std::size_t start = text.size();
    const std::size_t needed = start + length;
    const std::size_t room = needed + FormBytes;
    if (room > text.capacity())
        text.reserve(std::max(room, 2 * text.capacity()));

    text.resize(room);
    char *out = text.data() + start;
    const auto put = [&](char c) {
        const auto byte = static_cast<unsigned char>(c);
        std::memcpy(out, forms.form[byte].data(), FormBytes);
        out += forms.length[byte];
    };
    for (at = 0; at + WordBytes <= bytes.size(); at += WordBytes) {
        const std::uint64_t word = loadWord(bytes.data() + at);
        if (writtenOutFlags(word) == 0) {
            std::memcpy(out, &word, WordBytes);
            out += WordBytes;
            continue;
        }
        for (std::size_t i = 0; i < WordBytes; ++i)
            put(bytes[at + i]);
    }
    for (; at < bytes.size(); ++at)
        put(bytes[at]);
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
    // The open word is filled in a register, a few bits at a time.
    std::uint64_t used = m_count % 64;
    std::uint64_t full = m_count - used;
    std::uint64_t open = 0;
    if (used != 0) {
        open = m_words.back();
        m_words.pop_back();
    }
    const auto put = [&](unsigned bits, unsigned count) {
        open |= std::uint64_t{bits} << used;
        used += count;
        if (used < 64)
            return;
        m_words.push_back(std::uint64_t{open});
        full += 64;
        used -= 64;
        open = used != 0 ? std::uint64_t{bits} >> (count - used) : 0;
    };
    std::size_t at = 0;
    for (; at + WordBytes <= bytes.size(); at += WordBytes) {
        const std::uint64_t word = loadWord(bytes.data() + at);
        const std::uint64_t control = writtenOutFlags(word);
        const std::uint64_t marked = control | lessThanSignFlags(word);
        if (marked == 0)
            continue;
        const unsigned controlBits = flagBits(control);
        const unsigned markedBits = flagBits(marked);
        for (unsigned half = 0; half < 8; half += 4) {
            const unsigned packed =
                PackedMarks[((controlBits >> half) & 15) | ((markedBits >> half) & 15) << 4];
            put(packed & 15, packed >> 4);
        }
    }
    for (; at < bytes.size(); ++at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (writtenOut(byte) || byte == '<')
            put(writtenOut(byte), 1);
    }
    if (used != 0)
        m_words.push_back(open);
    m_count = full + used;
}

void ControlMarks::dropFront(std::uint64_t count)
{
    m_front += std::min(count, size());
    for (; m_front >= 64; m_front -= 64, m_count -= 64)
        m_words.pop_front();
}

void ControlMarks::clear()
{
    m_words.clear();
    m_count = 0;
    m_front = 0;
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
