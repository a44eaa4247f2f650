// How a module at RUN cuts what arrives on its RS232 side into radio packets. The computer's
// bytes reach the module one by one at the module's line speed (10 bits a byte), however fast
// the pseudo-terminal carried them. A packet is complete when it holds radio::PacketBytes
// bytes, or when the line has been quiet for two byte times after its last byte. Pure: the
// caller says what time it is; one thread at a time.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

class PacketGatherer
{
public:
    using Clock = std::chrono::steady_clock;

    struct Packet
    {
        Clock::time_point ready; // when the module has it complete
        std::string bytes;
    };

    // bytes were handed to the line at now, which carries them at lineBitsPerSecond (a rate
    // of 0 or less: the module takes nothing in).
    void add(std::string_view bytes, Clock::time_point now, int lineBitsPerSecond);
    // The packets complete by now, in order.
    std::vector<Packet> take(Clock::time_point now);
    // When take() may give the next packet; max() when nothing is gathered.
    Clock::time_point nextDue() const;

private:
    struct Arrival
    {
        Clock::time_point at;
        Clock::duration byteTime;
        char byte;
    };

    // The first packet's size and completion time, from what is gathered so far.
    std::size_t firstPacket(Clock::time_point &ready) const;

    std::deque<Arrival> m_bytes;
    Clock::time_point m_lineFree{};
};
