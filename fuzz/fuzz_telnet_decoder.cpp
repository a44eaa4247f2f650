// Feeds arbitrary bytes from a network serial port's server to the Telnet decoder, in pieces
// whose sizes the input's first byte chooses. The decoder keeps its memory bounded, never
// hands out more data than it was given, and escaping the data it hands out and decoding that
// again gives the same data back.
#include "FuzzCheck.h"

#include "platform/posix/TelnetCodec.h"

#include <algorithm>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = std::size_t(data[0] % 17) + 1;
    Telnet::Decoder decoder;
    std::string out;
    for (std::size_t at = 1; at < size; at += piece) {
        const std::size_t count = std::min(piece, size - at);
        const std::size_t before = out.size();
        decoder.feed(data + at, count, out);
        FUZZ_CHECK(out.size() - before <= count);
        FUZZ_CHECK(decoder.heldBytes() <= Telnet::MaxSubnegotiation + Telnet::MaxPendingAnswers);
        decoder.takeAnswers();
    }
    std::string escaped;
    Telnet::escape(reinterpret_cast<const std::uint8_t *>(out.data()), out.size(), escaped);
    Telnet::Decoder again;
    std::string back;
    again.feed(reinterpret_cast<const std::uint8_t *>(escaped.data()), escaped.size(), back);
    FUZZ_CHECK(back == out);
    return 0;
}
