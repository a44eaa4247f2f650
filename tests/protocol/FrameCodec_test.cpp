#include "protocol/FrameCodec.h"

#include "framework/core/HexPair.h"
#include "tests/support/FrameText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

TEST(HexPair, EncodesTwoUpperCaseDigitsAndDecodesEitherCase)
{
    EXPECT_EQ(HexByteToStr2(0x0A), "0A");
    EXPECT_EQ(HexByteToStr2(0xAB), "AB");
    EXPECT_EQ(HexByteToStr2(0x00), "00");
    EXPECT_EQ(HexByteToStr2(0xFF), "FF");
    EXPECT_EQ(HexStr2ToByte("ab"), 0xAB);
    EXPECT_EQ(HexStr2ToByte("aB"), 0xAB);
    EXPECT_EQ(HexStr2ToByte("7F"), 0x7F);
    EXPECT_EQ(HexStr2ToByte("FFZ"), 0xFF);
    for (int value = 0; value < 256; ++value)
        EXPECT_EQ(HexStr2ToByte(HexByteToStr2(static_cast<std::uint8_t>(value))), value);
}

TEST(HexPair, NonDigitsAndMissingCharactersCountAsZero)
{
    EXPECT_EQ(HexStr2ToByte("G1"), 0x01);
    EXPECT_EQ(HexStr2ToByte("1G"), 0x10);
    EXPECT_EQ(HexStr2ToByte("gf"), 0x0F); // 'g' is past the letters a-f
    EXPECT_EQ(HexStr2ToByte("1"), 0x10);
    EXPECT_EQ(HexStr2ToByte(""), 0x00);
}

TEST(CommandFrame, MatchesTheWorkedExamplesByteForByte)
{
    EXPECT_EQ(buildCommandFrame(0x00, 0x00, 0x00), hexBytes("02 30 30 30 30 30 30 03 30 30 0D 0A"));
    EXPECT_EQ(buildCommandFrame(0x00, 0x08, 0x00), hexBytes("02 30 30 30 38 30 30 03 30 38 0D 0A"));
    EXPECT_EQ(buildCommandFrame(0x01, 0x04, 100), hexBytes("02 30 31 30 34 36 34 03 36 31 0D 0A"));
    EXPECT_EQ(buildCommandFrame(0x01, 0x05, 171), hexBytes("02 30 31 30 35 41 42 03 41 46 0D 0A"));
}

TEST(SettingReply, AcceptsAMatchingChecksumAndGivesTheFields)
{
    const auto fields = checkSettingReply(hexBytes("02 30 30 30 34 36 34 03 36 30 0D"));
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(fields->operation, 0x00);
    EXPECT_EQ(fields->code, 0x04);
    EXPECT_EQ(fields->value, 0x64);
    // Lower-case checksum digits count like upper case (value AB, checksum AF).
    EXPECT_TRUE(checkSettingReply(hexBytes("02 30 31 30 35 41 42 03 61 66 0D")));
}

TEST(SettingReply, FramingCharactersAndOperationOnlyCountThroughTheChecksum)
{
    // 'S' for STX, 'E' for ETX, 'C' for CR, operation 7E: checksum 7E ^ 02 ^ 01 = 7D.
    const auto fields = checkSettingReply("S7E0201E7DC");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->operation, 0x7E);
    EXPECT_EQ(fields->code, 0x02);
}

TEST(SettingReply, RejectsAWrongChecksumOrLength)
{
    EXPECT_FALSE(checkSettingReply(hexBytes("02 30 30 30 34 36 34 03 36 31 0D")));
    EXPECT_FALSE(checkSettingReply(hexBytes("02 30 30 30 34 36 34 03 36 30 0D 0A")));
    EXPECT_FALSE(checkSettingReply(hexBytes("02 30 30 30 34 36 34 03 36 30")));
    EXPECT_FALSE(checkSettingReply(""));
}

TEST(FirmwareReply, AcceptsAMatchingChecksumWhateverTheHeader)
{
    EXPECT_EQ(checkFirmwareReply(firmwareCodeReply(0x12, 0x34, "ZR24-FW-1.0.0a")),
              std::optional<std::string>("ZR24-FW-1.0.0a"));
    const std::string lower = firmwareCodeReply(0x00, 0xA0, "ABCDEFGHIJKLMN");
    ASSERT_EQ(lower.substr(20, 2), "AF");
    EXPECT_TRUE(checkFirmwareReply(lower.substr(0, 20) + "af\r"));
}

TEST(FirmwareReply, EveryCodeCharacterCountsAndTheLengthMustBeExact)
{
    const std::string good = firmwareCodeReply(0x00, 0x00, "ABCDEFGHIJKLMN");
    for (std::size_t i = 5; i < 19; ++i) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x01);
        EXPECT_FALSE(checkFirmwareReply(bad)) << "position " << i + 1;
    }
    EXPECT_FALSE(checkFirmwareReply(good.substr(0, 22)));
    EXPECT_FALSE(checkFirmwareReply(good + "\n"));
    EXPECT_FALSE(checkSettingReply(good));
}
