#include "simulator/LineGarble.h"

#include <cstdint>

namespace {

constexpr std::uint64_t BitsPerByte = 10;

// The sender's waveform. Time runs in units of 1 / (2 * sender * receiver) seconds, so that
// a sender bit and half a receiver bit are both whole numbers of units.
struct Waveform
{
    std::string_view bytes;
    std::uint64_t bitUnits;

    std::uint64_t bits() const { return bytes.size() * BitsPerByte; }

    int levelOfBit(std::uint64_t index) const
    {
        if (index >= bits())
            return 1; // idle line
        const std::uint64_t bit = index % BitsPerByte;
        if (bit == 0)
            return 0;
        if (bit == BitsPerByte - 1)
            return 1;
        const auto byte = static_cast<unsigned char>(bytes[index / BitsPerByte]);
        return (byte >> (bit - 1)) & 1;
    }

    int level(std::uint64_t time) const { return levelOfBit(time / bitUnits); }

    // The first time from time on at which the line is low; bits() * bitUnits when never.
    std::uint64_t nextLow(std::uint64_t time) const
    {
        for (std::uint64_t index = time / bitUnits; index < bits(); ++index) {
            if (levelOfBit(index) == 0)
                return index == time / bitUnits ? time : index * bitUnits;
        }
        return bits() * bitUnits;
    }
};

} // namespace

std::string garbleLine(std::string_view bytes, int senderBitsPerSecond, int receiverBitsPerSecond)
{
    if (senderBitsPerSecond == receiverBitsPerSecond && senderBitsPerSecond > 0)
        return std::string(bytes);
    if (senderBitsPerSecond <= 0 || receiverBitsPerSecond <= 0)
        return {};
    const Waveform line{bytes, 2 * static_cast<std::uint64_t>(receiverBitsPerSecond)};
    const std::uint64_t halfBit = senderBitsPerSecond; // half a receiver bit, in units
    const std::uint64_t end = line.bits() * line.bitUnits;

    std::string received;
    std::uint64_t time = 0;
    for (;;) {
        const std::uint64_t edge = line.nextLow(time);
        if (edge >= end)
            break;
        if (line.level(edge + halfBit) != 0) {
            time = edge + halfBit; // a glitch, not a start bit
            continue;
        }
        unsigned value = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            value |= static_cast<unsigned>(line.level(edge + (3 + 2 * bit) * halfBit)) << bit;
        received += static_cast<char>(value);
        // Ready again after sampling the stop bit, whether or not it was there.
        time = edge + 19 * halfBit;
    }
    return received;
}
