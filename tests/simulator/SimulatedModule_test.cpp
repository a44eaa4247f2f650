// The module model without a pty: what it answers to each frame, how it treats garbage,
// and what each fault does to its answers.
#include "simulator/SimulatedModule.h"
#include "tests/simulator/SlaveLine.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Sent = std::vector<SimulatedModule::Transmission>;

namespace {

std::string joined(const Sent &sent)
{
    std::string all;
    for (const auto &t : sent)
        all += t.bytes;
    return all;
}

std::string answer(SimulatedModule &module, std::string_view frame)
{
    return joined(module.receive(frame));
}

// Read command for a setting code, as the window builds it.
std::string readCommand(int code)
{
    const char digit = static_cast<char>('0' + code);
    return frame(std::string("000") + digit + "00", std::string("0") + digit);
}

const std::string readChannel = hexBytes("02 30 30 30 34 30 30 03 30 34 0D 0A");

} // namespace

TEST(SimulatedModule, ReadsAnswerTheFactorySettingsWithOperationZero)
{
    SimulatedModule module;
    const std::string expected[] = {
        frame("000003", "03"), frame("000102", "03"), frame("000201", "03"), frame("000303", "00"),
        frame("000400", "04"), frame("000500", "05"), frame("000600", "06"), frame("000700", "07"),
    };
    for (int code = 0; code < 8; ++code)
        EXPECT_EQ(answer(module, readCommand(code)), expected[code]) << "code " << code;
    EXPECT_EQ(readCommand(8), hexBytes("02 30 30 30 38 30 30 03 30 38 0D 0A"));
}

TEST(SimulatedModule, FirmwareReadAnswersTwentyThreeCharactersAndLineFeed)
{
    SimulatedModule module;
    const std::string reply = answer(module, readCommand(8));
    EXPECT_EQ(reply, frame("0008ZEPHRA24 V1.0A", "02"));
    EXPECT_EQ(reply.find('\r') + 1, 23u);

    module.setFirmwareCode("TEST-CODE-0123");
    EXPECT_EQ(answer(module, readCommand(8)), frame("0008TEST-CODE-0123", "13"));
}

TEST(SimulatedModule, WriteStoresInRangeValuesAndAcknowledgesWithWhatItHolds)
{
    SimulatedModule module;
    EXPECT_EQ(answer(module, hexBytes("02 30 31 30 34 36 34 03 36 31 0D 0A")),
              hexBytes("02 30 31 30 34 36 34 03 36 31 0D 0A"));
    EXPECT_EQ(answer(module, readChannel), hexBytes("02 30 30 30 34 36 34 03 36 30 0D 0A"));
    // Receiver ID 171: value pair AB, checksum 01 ^ 05 ^ AB = AF.
    EXPECT_EQ(answer(module, hexBytes("02 30 31 30 35 41 42 03 41 46 0D 0A")),
              frame("0105AB", "AF"));
    // Lower-case digits are as good as upper-case ones.
    EXPECT_EQ(answer(module, frame("0107ab", "ad")), frame("0107AB", "AD"));
    EXPECT_EQ(module.setting(SimulatedModule::CodeTxId), 0xAB);

    // One past the top (channel 125, baud 5, gain 4) keeps the old value; the top is stored.
    EXPECT_EQ(answer(module, frame("01047D", "78")), frame("010464", "61"));
    EXPECT_EQ(answer(module, frame("010005", "04")), frame("010003", "02"));
    EXPECT_EQ(answer(module, frame("010304", "06")), frame("010303", "01"));
    EXPECT_EQ(answer(module, frame("01047C", "79")), frame("01047C", "79"));
    EXPECT_EQ(answer(module, frame("010004", "05")), frame("010004", "05"));
}

TEST(SimulatedModule, InvalidFramesAndUnknownCommandsGetNoAnswer)
{
    SimulatedModule module;
    const std::string unanswered[] = {
        frame("000400", "05"),              // checksum off
        stx + "000400" + '\x04' + "04\r\n", // no ETX
        frame("00G400", "04"),              // not a hex digit
        stx + "000400" + etx + "04\r\r",    // CR where LF belongs
        frame("00040", "04"),               // one digit short
        frame("010841", "48"),              // write to the read-only firmware code
        frame("000900", "09"),              // no such code
        frame("020400", "06"),              // no such operation
    };
    for (const auto &bad : unanswered)
        EXPECT_EQ(answer(module, bad), "") << bad;

    const auto log = module.receivedFrames();
    ASSERT_EQ(log.size(), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(log[i].accepted, i >= 5) << i;
    EXPECT_EQ(log[0].bytes, unanswered[0]);
    EXPECT_EQ(module.setting(SimulatedModule::CodeRfChannel), 0);
}

TEST(SimulatedModule, ResynchronisesAtStxWhateverCameBefore)
{
    SimulatedModule module;
    // noise, a line feed, then a frame cut short by the next STX
    EXPECT_EQ(answer(module, "xyz\n\x03\r" + stx + "0004" + readChannel), frame("000400", "04"));
    auto log = module.receivedFrames();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].bytes, stx + "0004");
    EXPECT_FALSE(log[0].accepted);
    EXPECT_EQ(log[1].bytes, readChannel);

    // 12 bytes without a line feed end the frame; the next frame is answered
    module.clearLog();
    EXPECT_EQ(answer(module, stx + "00040000000000" + readChannel), frame("000400", "04"));
    log = module.receivedFrames();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].bytes.size(), 12u);

    // one byte at a time, as the window writes
    std::string reply;
    for (char c : readCommand(7))
        reply += answer(module, std::string_view(&c, 1));
    EXPECT_EQ(reply, frame("000700", "07"));
}

TEST(SimulatedModule, RunPositionEchoesEverythingAndParsesNothing)
{
    SimulatedModule module;
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    EXPECT_EQ(answer(module, readChannel), readChannel);
    EXPECT_EQ(answer(module, std::string("a\0\xff", 3)), std::string("a\0\xff", 3));
    EXPECT_TRUE(module.receivedFrames().empty());
    EXPECT_EQ(module.runBytes(), readChannel + std::string("a\0\xff", 3));

    // half a frame, then the switch moves: the half is forgotten
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Setup);
    EXPECT_EQ(answer(module, readChannel.substr(0, 6)), "");
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Setup);
    EXPECT_EQ(answer(module, readChannel.substr(6)), "");
    EXPECT_EQ(answer(module, readChannel), frame("000400", "04"));
}

TEST(SimulatedModule, ReplyFaultsDamageTheAnswerAsAsked)
{
    SimulatedModule module;
    module.setFaults({.badChecksum = true});
    EXPECT_EQ(answer(module, readChannel), frame("000400", "05"));
    EXPECT_EQ(answer(module, readCommand(8)), frame("0008ZEPHRA24 V1.0A", "03"));

    module.setFaults({.lengthChange = -1});
    EXPECT_EQ(answer(module, readChannel), frame("00040", "04"));
    EXPECT_EQ(answer(module, readCommand(8)), frame("0008ZEPHRA24 V1.0", "02"));
    module.setFaults({.lengthChange = 2});
    EXPECT_EQ(answer(module, readChannel), frame("00040000", "04"));
    module.setFaults({.lengthChange = -50}); // never eats the STX
    EXPECT_EQ(answer(module, readChannel), stx + etx + "04\r\n");

    module.setSetting(SimulatedModule::CodeRx2Id, 0x11);
    module.setFaults({.answerCode06 = true});
    EXPECT_EQ(answer(module, readChannel), frame("000611", "17"));
    EXPECT_EQ(answer(module, readCommand(8)), frame("000611", "17"));
    EXPECT_EQ(answer(module, hexBytes("02 30 31 30 34 36 34 03 36 31 0D 0A")),
              frame("010611", "16"));

    module.setFaults({.noise = std::string("\n\x03junk", 6)});
    EXPECT_EQ(answer(module, readChannel), "\n\x03junk" + frame("000464", "60"));
}

TEST(SimulatedModule, DelaySilenceAndFaultsForOneCode)
{
    SimulatedModule module;
    module.setFaults({.replyDelay = 400ms, .splitAt = {3, 99}, .splitGap = 20ms});
    const Sent sent = module.receive(readChannel);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].after, 400ms);
    EXPECT_EQ(sent[1].after, 420ms);
    EXPECT_EQ(joined(sent), frame("000400", "04"));

    // Silent for the channel only; a silently lost write is still stored.
    module.setFaults({.silent = true, .onlyCode = SimulatedModule::CodeRfChannel});
    EXPECT_TRUE(module.receive(frame("010464", "61")).empty());
    EXPECT_EQ(module.setting(SimulatedModule::CodeRfChannel), 100);
    EXPECT_EQ(answer(module, readCommand(5)), frame("000500", "05"));
    EXPECT_EQ(module.receivedFrames().size(), 3u);
    module.clearFaults();
    EXPECT_EQ(answer(module, readChannel), frame("000464", "60"));
}
