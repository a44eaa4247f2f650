// The link test's wire format: numbered packets with a checksum, and the receiver that finds
// them in a byte stream again after bytes were lost, altered or added. Pure; the format is
// documented in docs/link-test.md.
//
// A packet of n bytes (MinPacketBytes <= n <= MaxPacketBytes):
//   0      2  sync: A5 5A
//   2      1  run tag: chosen by the sender for one test and direction, so that packets
//             left over from another run or direction are not taken for this one's
//   3      4  packet number, big-endian, counting from 0
//   7      1  n, the packet's whole size
//   8      1  header check: CRC-8 (polynomial 07, initial 00) of bytes 0 to 7
//   9   n-11  filler: byte i of the packet is (number * 31 + i * 7) mod 256; neighbours
//             differ by 7, so the filler never holds the sync pair
//   n-2    2  packet check: CRC-16 (polynomial 1021, initial FFFF), big-endian, of bytes 0
//             to n-3
// The header check lets a packet whose body was damaged still be named by its number; a
// packet whose header is damaged cannot be named and counts as lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace radio {

constexpr std::size_t PacketHeaderBytes = 9;
constexpr std::size_t MinPacketBytes = PacketHeaderBytes + 2;
constexpr std::size_t MaxPacketBytes = 255;
constexpr unsigned char PacketSync0 = 0xA5;
constexpr unsigned char PacketSync1 = 0x5A;

std::uint8_t crc8(std::string_view bytes);
std::uint16_t crc16(std::string_view bytes);

// Packet number `number` of the run `tag`, `size` bytes long; size must be within the limits
// above.
std::string encodePacket(std::uint8_t tag, std::uint32_t number, std::size_t size);

// Finds packets of one run tag and size in the bytes as they arrive. A packet is reported intact
// when both checks hold, damaged when its header holds and its packet check fails. After a damaged
// packet the search goes on right after its header, so a packet that lost bytes does not swallow
// the start of the next one. Bytes that start no valid header are skipped.
class PacketReader
{
public:
    using Found = std::function<void(std::uint32_t number, bool intact)>;

    PacketReader(std::uint8_t tag, std::size_t packetBytes) : m_tag(tag), m_packetBytes(packetBytes)
    {}

    void feed(std::string_view bytes, const Found &found);
    // The stream has ended: each packet whose header arrived but not all of its bytes is
    // reported damaged.
    void flush(const Found &found);

private:
    // Whether a valid header of this reader's tag and size starts at `at` (which has the
    // header's bytes).
    bool headerAt(std::size_t at) const;
    std::uint32_t numberAt(std::size_t at) const;

    std::uint8_t m_tag;
    std::size_t m_packetBytes;
    std::string m_pending;
};

} // namespace radio
