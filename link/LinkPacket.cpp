#include "link/LinkPacket.h"

namespace radio {

namespace {

std::uint8_t byteAt(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint8_t>(bytes[at]);
}

} // namespace

std::uint8_t crc8(std::string_view bytes)
{
    std::uint8_t crc = 0;
    for (char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

std::uint16_t crc16(std::string_view bytes)
{
    std::uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= static_cast<std::uint16_t>(static_cast<std::uint8_t>(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::string encodePacket(std::uint8_t tag, std::uint32_t number, std::size_t size)
{
    std::string packet(size, '\0');
    packet[0] = static_cast<char>(PacketSync0);
    packet[1] = static_cast<char>(PacketSync1);
    packet[2] = static_cast<char>(tag);
    for (int i = 0; i < 4; ++i)
        packet[3 + i] = static_cast<char>(number >> (24 - 8 * i));
    packet[7] = static_cast<char>(size);
    packet[8] = static_cast<char>(crc8(std::string_view(packet).substr(0, 8)));
    for (std::size_t i = PacketHeaderBytes; i + 2 < size; ++i)
        packet[i] = static_cast<char>(number * 31 + i * 7);
    const std::uint16_t check = crc16(std::string_view(packet).substr(0, size - 2));
    packet[size - 2] = static_cast<char>(check >> 8);
    packet[size - 1] = static_cast<char>(check);
    return packet;
}

bool PacketReader::headerAt(std::size_t at) const
{
    const std::string_view header = std::string_view(m_pending).substr(at, PacketHeaderBytes);
    return byteAt(header, 0) == PacketSync0 && byteAt(header, 1) == PacketSync1 &&
           byteAt(header, 2) == m_tag && byteAt(header, 7) == m_packetBytes &&
           crc8(header.substr(0, 8)) == byteAt(header, 8);
}

std::uint32_t PacketReader::numberAt(std::size_t at) const
{
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i)
        number = number << 8 | byteAt(m_pending, at + 3 + i);
    return number;
}

void PacketReader::feed(std::string_view bytes, const Found &found)
{
    m_pending.append(bytes);
    const std::string_view sync("\xA5\x5A", 2);
    std::size_t from = 0; // everything before this is done with
    for (;;) {
        const std::size_t start = m_pending.find(sync, from);
        if (start == std::string::npos) {
            // Keep a last A5: it may be the first half of a sync pair.
            from = m_pending.size();
            if (from > 0 && byteAt(m_pending, from - 1) == PacketSync0)
                --from;
            break;
        }
        from = start;
        if (m_pending.size() - start < PacketHeaderBytes)
            break;
        if (!headerAt(start)) {
            from = start + 1;
            continue;
        }
        if (m_pending.size() - start < m_packetBytes)
            break;
        const std::string_view packet = std::string_view(m_pending).substr(start, m_packetBytes);
        const std::uint16_t check = static_cast<std::uint16_t>(
            byteAt(packet, m_packetBytes - 2) << 8 | byteAt(packet, m_packetBytes - 1));
        const bool intact = crc16(packet.substr(0, m_packetBytes - 2)) == check;
        found(numberAt(start), intact);
        from = start + (intact ? m_packetBytes : PacketHeaderBytes);
    }
    m_pending.erase(0, from);
}

void PacketReader::flush(const Found &found)
{
    const std::string_view sync("\xA5\x5A", 2);
    for (std::size_t start = m_pending.find(sync); start != std::string::npos;
         start = m_pending.find(sync, start + 1)) {
        if (m_pending.size() - start >= PacketHeaderBytes && headerAt(start))
            found(numberAt(start), false);
    }
    m_pending.clear();
}

} // namespace radio
