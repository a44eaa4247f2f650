// One module's radio on a simulated air that modules of separate zephra-sim processes share.
// The air is a folder beside the published ports, DIR/.air-NAME, holding one datagram socket
// per module; a packet goes out as one datagram to every other socket there, carrying the
// sender's settings at the moment it left. The receiver keeps it when its own module is at RUN
// and the module model (radio::reaches) lets the sender's packets reach it with the receiver's
// settings of that moment, so a changed setting counts from the next packet on.
//
// What arrives on the module's RS232 side is cut into packets (PacketGatherer). Each packet
// takes its airtime at the sender's radio data rate (the sender's radio sends one packet at a
// time), then the air's latency; the air loses a share of the packets. Loss and latency are the
// faults of the packets this module sends; whether packet n is lost depends only on the seed
// and n, so a run is repeated exactly with the same seed.
//
// The radio owns one thread, started by the constructor and ended by the destructor; it calls
// deliver with each payload the module receives. Without deliver the module has a loopback plug
// on its RS232 side: what it receives goes out on its line and comes straight back in. transmit()
// may be called from any thread, also from deliver (a loopback plug).
#pragma once

#include "simulator/PacketGatherer.h"
#include "simulator/SimulatedModule.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

struct AirFaults
{
    // Share of the radio packets sent that never arrive, 0 to 100.
    double lossPercent = 0;
    // Time a packet spends on the air after its airtime.
    std::chrono::milliseconds latency{0};
    std::uint64_t seed = 1;
};

class RadioAir
{
public:
    using Clock = std::chrono::steady_clock;
    using Deliver = std::function<void(std::string payload, Clock::time_point at)>;

    // Bytes a packet spends on the air besides its payload (preamble, address, control,
    // checksum).
    static constexpr std::size_t OverheadBytes = 9;

    struct Counts
    {
        std::uint64_t sent = 0;     // packets that left this module, lost ones included
        std::uint64_t lost = 0;     // of those, lost on the air
        std::uint64_t received = 0; // packets from others that this module kept
        std::uint64_t ignored = 0;  // packets from others that did not reach this module
    };

    // Joins the air NAME in directory; deliver may be empty (a loopback plug). Throws
    // std::system_error when the socket cannot be made. The module must outlive the radio.
    RadioAir(SimulatedModule &module, const std::string &directory, const std::string &name,
             AirFaults faults, Deliver deliver);
    ~RadioAir();
    RadioAir(const RadioAir &) = delete;
    RadioAir &operator=(const RadioAir &) = delete;

    // bytes were handed to the module's RS232 side at now.
    void transmit(std::string_view bytes, Clock::time_point now);

    Counts counts() const;
    // Whether packet number index (from 0) is lost under faults.
    static bool loses(const AirFaults &faults, std::uint64_t index);

private:
    struct Outgoing
    {
        Clock::time_point arrives;
        std::string datagram;
    };

    void serve();
    void leave(PacketGatherer::Packet packet);
    void broadcast(const std::string &datagram);
    void receiveAll();
    void wake();

    SimulatedModule &m_module;
    AirFaults m_faults;
    Deliver m_deliver;
    std::string m_folder;
    std::string m_socketPath;
    int m_socket = -1;
    int m_wake = -1;
    std::atomic<bool> m_stopping{false};

    mutable std::mutex m_mutex;
    PacketGatherer m_gatherer;
    Counts m_counts;

    // Service thread only.
    std::deque<Outgoing> m_outgoing;
    Clock::time_point m_radioFree{};
    std::thread m_thread;
};
