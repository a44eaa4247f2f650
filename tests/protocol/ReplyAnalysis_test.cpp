#include "protocol/ReplyAnalysis.h"

#include "protocol/FrameCodec.h"
#include "protocol/SettingTable.h"
#include "tests/support/FrameText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string settingReply(std::uint8_t operation, std::uint8_t code, std::uint8_t value)
{
    // A command frame without its LF has the layout of a setting reply.
    return buildCommandFrame(operation, code, value).substr(0, frame::SettingReplyLength);
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

TEST(ReplyAnalysis, RadioGroupsSelectNothingAndBarsStayAtZeroWhenOutOfRange)
{
    // Out of range is still an update, so the reply counts as received; a write's
    // acknowledgement (operation 01) is applied like the answer to a read.
    for (const SettingRow &row : settingRows()) {
        const int outOfRange = row.control == SettingControl::RadioGroup ? -1 : 0;
        for (int value = 0; value < 256; ++value) {
            const auto byte = static_cast<std::uint8_t>(value);
            const SettingUpdate update = settingOf(settingReply(value % 2, row.code, byte));
            EXPECT_EQ(update.code, row.code);
            EXPECT_EQ(update.controlValue, value <= row.maxValue ? value : outOfRange)
                << row.word << " " << value;
        }
    }
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
    EXPECT_TRUE(ignored(firmwareCodeReply(0, 0, "ABCDEFGHIJKLMN").substr(0, 22)));
}

TEST(ReplyAnalysis, AFirmwareReplyGivesItsFourteenCharacters)
{
    const ReplyEffect effect = analyseReply(firmwareCodeReply(0x12, 0x34, "ZR24 v1.0 #7~!"));
    ASSERT_TRUE(std::holds_alternative<FirmwareCodeUpdate>(effect));
    EXPECT_EQ(std::get<FirmwareCodeUpdate>(effect).code, "ZR24 v1.0 #7~!");
}

TEST(ReplyAnalysis, EveryFirmwareCharacterCountsInTheChecksum)
{
    const std::string good = firmwareCodeReply(0x00, 0x00, "ABCDEFGHIJKLMN");
    for (std::size_t i = 5; i < 19; ++i) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x40);
        EXPECT_TRUE(ignored(bad)) << "position " << i + 1;
    }
}
