// What the test tab's received bytes cost past the window's port: the store of received bytes
// and the receive box's model (the toolkit-free parts a batch goes through), fed 64 KiB batches
// of printable text with blanks, 1 ms apart.
//  1. Memory: the growth of the resident set after 1 GiB in the default view and limit.
//  2. Rate: MiB/s as received without stamps, and in the hex view with time-of-day stamps.
// Usage: received_store [GiB for the memory run, default 1]
#include "app/terminal/ReceivedStore.h"
#include "framework/core/ReceiveModel.h"
#include "tests/support/FloodSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr std::size_t BatchSize = 64 * 1024;

std::string printable(unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(BatchSize, ' ');
    for (char &byte : bytes)
        byte = static_cast<char>(random() % 8 == 0 ? ' ' : 0x21 + random() % 94);
    return bytes;
}

// Feeds total bytes through a store and a box as the test tab does; returns MiB/s.
double feed(ReceivedStore &store, ReceiveModel &box, std::uint64_t total)
{
    const std::string batches[] = {printable(1), printable(2), printable(3)};
    auto arrival = std::chrono::system_clock::now();
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t fed = 0, i = 0; fed < total; fed += BatchSize, ++i) {
        arrival += std::chrono::milliseconds(1);
        ReceivedStore::BoxChange change = store.add(batches[i % 3], arrival);
        box.removeEnd(change.retract);
        box.append(change.text);
        if (change.dropFront != 0)
            store.frontDropped(box.replaceFront(change.dropFront, change.note));
        store.reuse(std::move(change));
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return static_cast<double>(total) / (1 << 20) / took.count();
}

} // namespace

int main(int argc, char **argv)
{
    const double gib = argc > 1 ? std::atof(argv[1]) : 1.0;
    {
        const std::size_t before = MemoryWatch::residentBytes();
        ReceivedStore store;
        ReceiveModel box;
        box.setView(80, 25);
        const double rate = feed(store, box, static_cast<std::uint64_t>(gib * (1 << 30)));
        const std::size_t after = MemoryWatch::residentBytes();
        std::printf("memory: %.2f GiB as received, default limit: RSS +%.1f MiB (kept %.1f MiB, "
                    "box text %.1f MiB, box memory %.1f MiB), %.0f MiB/s\n",
                    gib, static_cast<double>(after - before) / (1 << 20),
                    static_cast<double>(store.size()) / (1 << 20),
                    static_cast<double>(box.text().size()) / (1 << 20),
                    static_cast<double>(box.text().memoryUsed()) / (1 << 20), rate);
    }
    const std::uint64_t rateBytes = std::uint64_t{256} << 20;
    double rates[2];
    for (int stamped = 0; stamped < 2; ++stamped) {
        ReceivedStore store;
        ReceiveModel box;
        box.setView(80, 25);
        if (stamped)
            store.show(terminal::View::Hex, terminal::Stamps::Absolute, {});
        rates[stamped] = feed(store, box, rateBytes);
    }
    std::printf("rate: as received %.0f MiB/s, hex with stamps %.0f MiB/s (%.0f%%)\n", rates[0],
                rates[1], 100 * rates[1] / rates[0]);
}
