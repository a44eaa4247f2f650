#include "protocol/ReplyAnalysis.h"

#include "framework/core/HexPair.h"
#include "protocol/FrameCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string settingReply(std::uint8_t operation, std::uint8_t code, std::uint8_t value)
{
    // A command frame without its LF has the layout of a setting reply.
    return buildCommandFrame(operation, code, value).substr(0, frame::SettingReplyLength);
}

std::string firmwareReply(std::uint8_t a, std::uint8_t b, const std::string &code)
{
    std::uint8_t sum = a ^ b;
    for (char c : code)
        sum ^= static_cast<std::uint8_t>(c);
    return '\x02' + HexByteToStr2(a) + HexByteToStr2(b) + code + '\x03' + HexByteToStr2(sum) +
           '\x0D';
}

SettingUpdate settingOf(const std::string &reply)
{
    const ReplyEffect effect = analyseReply(reply);
    EXPECT_TRUE(std::holds_alternative<SettingUpdate>(effect));
    return std::holds_alternative<SettingUpdate>(effect) ? std::get<SettingUpdate>(effect)
                                                         : SettingUpdate{};
}

bool ignored(const std::string &reply)
{
    return std::holds_alternative<std::monostate>(analyseReply(reply));
}

} // namespace

TEST(ReplyAnalysis, TheWorkedChannelReplySetsThePosition)
{
    const SettingUpdate update = settingOf("\x02"
                                           "000464\x03"
                                           "60\r");
    EXPECT_EQ(update.code, 0x04);
    EXPECT_EQ(update.value, 100);
    EXPECT_EQ(update.controlValue, 100);
}

TEST(ReplyAnalysis, RadioGroupsSelectTheValueOrNothingWhenOutOfRange)
{
    struct Group
    {
        std::uint8_t code;
        int items;
    };
    // Out of range (baud rate 5, past "19200 BPS"): no selection, yet still an update, so the
    // reply counts as received.
    for (const Group group : {Group{0x00, 5}, Group{0x01, 3}, Group{0x02, 2}, Group{0x03, 4}}) {
        for (int value = 0; value < 256; ++value) {
            const SettingUpdate update =
                settingOf(settingReply(0x00, group.code, static_cast<std::uint8_t>(value)));
            EXPECT_EQ(update.controlValue, value < group.items ? value : -1)
                << "code " << int(group.code) << " value " << value;
        }
    }
}

TEST(ReplyAnalysis, AChannelOutOfRangeLeavesTheBarAtZero)
{
    EXPECT_EQ(settingOf(settingReply(0x00, 0x04, 124)).controlValue, 124);
    EXPECT_EQ(settingOf(settingReply(0x00, 0x04, 200)).controlValue, 0);
}

TEST(ReplyAnalysis, IdCodesTakeEveryValue)
{
    const SettingUpdate receiver = settingOf(settingReply(0x00, 0x05, 0x0A));
    EXPECT_EQ(receiver.controlValue, 10);

    // A write's acknowledgement (operation 01) is applied like the answer to a read.
    const SettingUpdate transmitter = settingOf(settingReply(0x01, 0x07, 0xAB));
    EXPECT_EQ(transmitter.controlValue, 0xAB);
}

TEST(ReplyAnalysis, CodesWithoutAControlAreIgnored)
{
    EXPECT_TRUE(ignored(settingReply(0x00, 0x06, 0x12)));
    for (int code = 0x08; code < 256; ++code)
        EXPECT_TRUE(ignored(settingReply(0x00, static_cast<std::uint8_t>(code), 0)))
            << "code " << code;
}

TEST(ReplyAnalysis, ChecksumsAreComparedAsBytesInEitherCase)
{
    // Value AB for code 05, checksum AF written in lower case.
    EXPECT_EQ(settingOf("\x02"
                        "0105AB\x03"
                        "af\r")
                  .controlValue,
              0xAB);
    EXPECT_TRUE(ignored("\x02"
                        "0105AB\x03"
                        "AE\r"));
}

TEST(ReplyAnalysis, WrongLengthsAreIgnored)
{
    const std::string good = settingReply(0x00, 0x04, 100);
    EXPECT_TRUE(ignored(good + "\n"));
    EXPECT_TRUE(ignored(good.substr(1)));
    EXPECT_TRUE(ignored(""));
    EXPECT_TRUE(ignored("\r"));
    EXPECT_TRUE(ignored(firmwareReply(0, 0, "ABCDEFGHIJKLMN").substr(0, 22)));
}

TEST(ReplyAnalysis, AFirmwareReplyGivesItsFourteenCharacters)
{
    const ReplyEffect effect = analyseReply(firmwareReply(0x12, 0x34, "ZR24 v1.0 #7~!"));
    ASSERT_TRUE(std::holds_alternative<FirmwareCodeUpdate>(effect));
    EXPECT_EQ(std::get<FirmwareCodeUpdate>(effect).code, "ZR24 v1.0 #7~!");
}

TEST(ReplyAnalysis, EveryFirmwareCharacterCountsInTheChecksum)
{
    const std::string good = firmwareReply(0x00, 0x00, "ABCDEFGHIJKLMN");
    for (std::size_t i = 5; i < 19; ++i) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x40);
        EXPECT_TRUE(ignored(bad)) << "position " << i + 1;
    }
}
