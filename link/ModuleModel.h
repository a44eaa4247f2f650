// How the utility assumes the radio works: which settings let two modules talk, and the
// speeds of their two sides. One table, so that there is one place to change should the
// maker's documentation say otherwise. Pure; used by zephra-cli's pair check, the link test
// and the simulated air.
//
// The model:
//  - At RUN a module sends over the radio what arrives on its RS232 side, in radio packets
//    of up to 32 bytes, and puts on its RS232 side what it receives.
//  - Module A's packets reach module B when both are on the same channel and use the same
//    radio data rate, A's mode is transmit or auto, B's mode is receive or auto, and A's
//    tx-id equals B's rx-id.
//  - Each module's RS232 side runs at its own baud setting; a computer port at another rate
//    gets garbage.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

namespace radio {

// The module's setting codes that the model reads (the same codes as its protocol).
constexpr std::uint8_t CodeBaudrate = 0x00;
constexpr std::uint8_t CodeMode = 0x01;
constexpr std::uint8_t CodeDataRate = 0x02;
constexpr std::uint8_t CodeChannel = 0x04;
constexpr std::uint8_t CodeRxId = 0x05;
constexpr std::uint8_t CodeTxId = 0x07;

constexpr std::uint8_t ModeReceive = 0;
constexpr std::uint8_t ModeTransmit = 1;
constexpr std::uint8_t ModeAuto = 2;

// Largest radio packet: what the module gathers from its RS232 side before sending.
constexpr std::size_t PacketBytes = 32;

// A module's settings, indexed by setting code (00 to 07). The window's build checks that
// every code of the protocol's settings table fits (app/setup/SettingBindings.h).
using ModuleSettings = std::array<std::uint8_t, 8>;

// The model of settings read as code -> value. Codes it does not keep (8 and above) are
// left out: a setting added to the protocol's table at such a code must not write past it.
ModuleSettings modelOf(const std::map<std::uint8_t, std::uint8_t> &values);
// The model's values put back into values, for the codes the model keeps.
void copyModel(const ModuleSettings &module, std::map<std::uint8_t, std::uint8_t> &values);

// RS232 side: 1200, 2400, 4800, 9600 or 19200 bit/s for baud values 0 to 4; 0 when out of
// range.
int lineBitsPerSecond(const ModuleSettings &module);
// Radio side: 250000 or 1000000 bit/s for data rate values 0 and 1; 0 when out of range.
int airBitsPerSecond(const ModuleSettings &module);

bool modeSends(std::uint8_t mode);
bool modeHears(std::uint8_t mode);

// One must-match rule of a pair. Rules with oneWay apply to each direction, sender to
// receiver; the others compare the same setting at both ends.
struct PairRule
{
    std::string_view name;
    bool oneWay;
    std::uint8_t senderCode;
    std::uint8_t receiverCode;
    bool (*holds)(std::uint8_t senderValue, std::uint8_t receiverValue);
};

// Whether packets sent by from reach to.
bool reaches(const ModuleSettings &from, const ModuleSettings &to);

// One line of a pair check: a rule applied to A and B (or, for a one-way rule, to one
// direction), both values and whether it holds.
struct PairCheck
{
    const PairRule *rule;
    // 'A' for A to B, 'B' for B to A, 0 for a rule about both ends.
    char from;
    std::uint8_t aCode;
    std::uint8_t aValue;
    std::uint8_t bCode;
    std::uint8_t bValue;
    bool ok;
};

// Every rule for both directions: the both-ends rules first, then A to B, then B to A.
std::vector<PairCheck> checkPair(const ModuleSettings &a, const ModuleSettings &b);
bool talksBothWays(const ModuleSettings &a, const ModuleSettings &b);

// B changed as little as needed so that the pair talks both ways: B takes A's channel and
// data rate, B's rx-id becomes A's tx-id and B's tx-id A's rx-id, and a mode of B that
// blocks a direction becomes auto. A mode of A that blocks a direction cannot be mended from
// B; the result then still fails that direction.
ModuleSettings mendPartner(const ModuleSettings &a, ModuleSettings b);

} // namespace radio
