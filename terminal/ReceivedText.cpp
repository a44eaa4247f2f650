#include "terminal/ReceivedText.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace terminal {

namespace {

constexpr bool writtenOut(unsigned char byte)
{
    return Forms.textLength[byte] != 1;
}

// Every written-out form: "<0x", the byte's two hex digits, ">".
constexpr std::size_t WrittenOutLength = 6;

// The byte that the written-out form at the start of text stands for.
constexpr unsigned char writtenOutByte(std::string_view text)
{
    return static_cast<unsigned char>(hexDigitValue(text[3]) * 16 + hexDigitValue(text[4]));
}

// The scans below tell written-out bytes in a word by one comparison: they must be those below
// a bound, under 0x80. Taken from the table, and the rest of what the scans and the reverse
// parse rely on checked against it: each written-out form has that length, begins with '<' and
// gives its byte back, every other byte stands for itself, '<' among them.
constexpr unsigned WrittenOutBelow = [] {
    unsigned byte = 0;
    while (byte < 256 && writtenOut(static_cast<unsigned char>(byte)))
        ++byte;
    return byte;
}();

constexpr bool formsAsTheScansNeed()
{
    for (unsigned byte = 0; byte < 256; ++byte) {
        const std::string_view text(Forms.text[byte].data(), Forms.textLength[byte]);
        if (byte < WrittenOutBelow) {
            if (text.size() != WrittenOutLength || text[0] != '<' || writtenOutByte(text) != byte)
                return false;
        } else if (text.size() != 1 || text[0] != static_cast<char>(byte)) {
            return false;
        }
    }
    return WrittenOutBelow <= '<';
}
static_assert(WrittenOutBelow > 0 && WrittenOutBelow <= 0x80 && formsAsTheScansNeed(),
              "the word-at-a-time scans disagree with the table of forms");

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

// The flags of the bytes written out. Seven low bits plus 0x80 - WrittenOutBelow reach the flag
// from the bound on and never carry into the next byte, so the flags left clear are the
// written-out bytes'.
std::uint64_t writtenOutFlags(std::uint64_t word)
{
    const std::uint64_t shownAsThemselves =
        (((word & ~Flags) + (0x80 - WrittenOutBelow) * EachByte) | word) & Flags;
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
    for (unsigned control = 0; control < 16; ++control) {
        for (unsigned marked = 0; marked < 16; ++marked) {
            unsigned bits = 0;
            unsigned count = 0;
            for (unsigned i = 0; i < 4; ++i) {
                if ((marked >> i) & 1)
                    bits |= ((control >> i) & 1) << count++;
            }
            packed[control | marked << 4] = static_cast<std::uint8_t>(bits | count << 4);
        }
    }
    return packed;
}
constexpr std::array<std::uint8_t, 256> PackedMarks = packedMarks();

} // namespace

void appendReceivedText(std::string &text, std::string_view bytes)
{
    constexpr std::size_t Longer = WrittenOutLength - 1;
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
    const std::size_t room = needed + ByteForms::TextRoom;
    if (room > text.capacity())
        text.reserve(std::max(room, 2 * text.capacity()));

    text.resize(room);
    char *out = text.data() + start;
    const auto put = [&](char c) {
        const auto byte = static_cast<unsigned char>(c);
        std::memcpy(out, Forms.text[byte].data(), ByteForms::TextRoom);
        out += Forms.textLength[byte];
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
        if (control && open + WrittenOutLength <= text.size()) {
            bytes.push_back(static_cast<char>(writtenOutByte(text.substr(open))));
            at = open + WrittenOutLength;
        } else {
            bytes.push_back('<');
            at = open + 1;
        }
    }
    return bytes;
}

} // namespace terminal
