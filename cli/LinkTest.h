// zephra-cli link: the link test over modules at RUN. With one port the far module has a
// loopback plug and each packet makes a round trip; with two ports each direction is measured
// one way, both on the same clock. Prints the figures at the end (a live status line before
// that on a terminal), writes --csv, and returns the exit status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct LinkOptions
{
    std::vector<std::string> ports; // one or two COM names
    int baud = 0;
    std::uint32_t count = 0;   // 0: run for seconds
    double seconds = 0;        // 0: send count packets
    std::size_t size = 32;     // a packet's size on the wire
    double maxLossPercent = 0; // more lost or damaged packets than this gives status 4
    bool json = false;
    std::string csvFile;
};

// Runs the test; port errors and a silent link are reported here, with --json as the object.
int linkTest(const LinkOptions &options);

} // namespace cli
