// The Telnet decoder against what a hostile or merely unusual server sends.
#include "platform/posix/TelnetCodec.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

std::string decode(Telnet::Decoder &decoder, const std::string &in)
{
    std::string data;
    decoder.feed(reinterpret_cast<const std::uint8_t *>(in.data()), in.size(), data);
    return data;
}

TEST(TelnetCodec, DataComesOutWithCommandsTakenOutAndEscapesUndoneAcrossPieces)
{
    Telnet::Decoder decoder;
    // 0xFF doubled, split between two reads; a NOP and a negotiation amid the data.
    std::string data = decode(decoder, "a\xff");
    data += decode(decoder, "\xff"
                            "b\xff\xf1"
                            "c\xff\xfd\x18"
                            "d");
    EXPECT_EQ(data, "a\xff"
                    "bcd");
    EXPECT_EQ(decoder.takeAnswers(), "\xff\xfc\x18"); // WONT for an option we do not know
    std::string escaped;
    const std::uint8_t raw[] = {1, 0xFF, 2};
    Telnet::escape(raw, 3, escaped);
    EXPECT_EQ(escaped, "\x01\xff\xff\x02");
}

TEST(TelnetCodec, ComPortAnswersAreKeptAndHugeOrEndlessSubnegotiationsDropped)
{
    Telnet::Decoder decoder;
    decode(decoder, "\xff\xfd\x2c"                             // DO COM-PORT
                    "\xff\xfa\x2c\x65\x00\x01\xc2\x00\xff\xf0" // baud 115200
                    "\xff\xfa\x2c\x6b\x30\xff\xf0"s);          // CTS and DSR on
    EXPECT_TRUE(decoder.state().comPortAccepted);
    EXPECT_EQ(decoder.state().answers[Telnet::SetBaudRate].value, 115200u);
    EXPECT_EQ(decoder.state().modemState, 0x30);
    EXPECT_TRUE(decoder.takeAnswers().empty()); // we asked for it: no answer to the answer

    // A baud answer far longer than any message is dropped whole; memory stays bounded.
    const std::string huge = "\xff\xfa\x2c\x65" + std::string(100000, '\x07') + "\xff\xf0";
    decode(decoder, huge);
    EXPECT_EQ(decoder.state().answers[Telnet::SetBaudRate].value, 115200u);
    decode(decoder, "\xff\xfa\x2c\x65" + std::string(100000, '\x07'));
    EXPECT_LE(decoder.heldBytes(), Telnet::MaxSubnegotiation);
    // A command inside ends it; data flows again after.
    EXPECT_EQ(decode(decoder, "\xff\xf1xy"), "xy");
}

TEST(TelnetCodec, ARefusedComPortIsToldAndRepeatedRequestsAreAnsweredBoundedly)
{
    Telnet::Decoder decoder;
    decode(decoder, "\xff\xfe\x2c");
    EXPECT_TRUE(decoder.state().comPortRefused);
    std::string flood;
    for (int i = 0; i < 10000; ++i)
        flood += "\xff\xfb\x05";
    decode(decoder, flood);
    EXPECT_LE(decoder.takeAnswers().size(), Telnet::MaxPendingAnswers);
}

} // namespace
