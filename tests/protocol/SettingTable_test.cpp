#include "protocol/SettingTable.h"

#include <gtest/gtest.h>

namespace {

using enum SettingControl;

struct Expected
{
    std::uint8_t code;
    const char *word;
    SettingControl control;
    int maxValue;
    int outOfRangeValue; // the module's default for a radio group; the bar's minimum
    const char *lowText;
    const char *highText;
};

// The module's documented settings, in the order its commands send them.
constexpr Expected expected[] = {
    {0x00, "baud", RadioGroup, 4, 3, "1200", "19200"},
    {0x01, "mode", RadioGroup, 2, 2, "receive", "auto"},
    {0x02, "rate", RadioGroup, 1, 0, "250k", "1M"},
    {0x03, "power", RadioGroup, 3, 3, "-20", "0"},
    {0x04, "channel", DecimalScrollBar, 124, 0, "0", "124"},
    {0x05, "rx-id", HexScrollBar, 255, 0, "00", "FF"},
    {0x07, "tx-id", HexScrollBar, 255, 0, "00", "FF"},
};

} // namespace

TEST(SettingTable, EveryRowHoldsTheSettingsCodeWordRangeTextsAndWriteBackRule)
{
    ASSERT_EQ(settingRows().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const Expected &want = expected[i];
        const SettingRow &row = settingRows()[i];
        SCOPED_TRACE(want.word);
        EXPECT_EQ(row.code, want.code);
        EXPECT_EQ(row.word, want.word);
        EXPECT_EQ(row.control, want.control);
        EXPECT_EQ(row.maxValue, want.maxValue);
        EXPECT_EQ(findSetting(want.code), &row);
        EXPECT_EQ(findSettingWord(want.word), &row);
        EXPECT_EQ(settingText(row, 0), want.lowText);
        EXPECT_EQ(settingText(row, row.maxValue), want.highText);
        for (int value = 0; value < 256; ++value) {
            const auto byte = static_cast<std::uint8_t>(value);
            EXPECT_EQ(writeBackValue(row, byte),
                      value <= want.maxValue ? value : want.outOfRangeValue);
        }
        if (want.control == RadioGroup) {
            EXPECT_EQ(itemValue(row, -1), want.outOfRangeValue); // no selection
            EXPECT_EQ(itemValue(row, want.maxValue), want.maxValue);
        }
    }
    EXPECT_EQ(settingText(*findSetting(0x04), 7), "7");
    EXPECT_EQ(settingText(*findSetting(0x05), 0x0A), "0A");
    EXPECT_EQ(findSetting(0x06), nullptr); // the second receiver ID has no control
    EXPECT_EQ(findSetting(0x08), nullptr);
    EXPECT_EQ(findSettingWord("Baud"), nullptr);
}

TEST(SettingTable, ABarsPositionNeverWrapsToASmallValue)
{
    EXPECT_EQ(positionValue(124), 124);
    EXPECT_EQ(positionValue(255), 255);
    EXPECT_EQ(positionValue(256), 255);
    EXPECT_EQ(positionValue(-1), 0);
}
