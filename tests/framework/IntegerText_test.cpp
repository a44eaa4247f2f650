#include "framework/core/ConvertError.h"
#include "framework/core/IntegerText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

std::int32_t read(std::string_view text)
{
    std::int32_t value = 12345;
    EXPECT_TRUE(tryTextToInt(text, value)) << "text: '" << text << "'";
    return value;
}

bool rejects(std::string_view text)
{
    std::int32_t value = 12345;
    const bool ok = tryTextToInt(text, value);
    return !ok && value == 12345; // a rejected text leaves the value alone
}

} // namespace

TEST(IntegerText, ReadsDecimalWithSignAndLeadingBlanks)
{
    EXPECT_EQ(read("0"), 0);
    EXPECT_EQ(read("17"), 17);
    EXPECT_EQ(read("007"), 7);
    EXPECT_EQ(read("+42"), 42);
    EXPECT_EQ(read("-1"), -1);
    EXPECT_EQ(read("   321"), 321);
    EXPECT_EQ(read("  -5"), -5);
}

TEST(IntegerText, ReadsHexAfterEveryPrefixInEitherCase)
{
    EXPECT_EQ(read("$1B"), 27);
    EXPECT_EQ(read("$1b"), 27);
    EXPECT_EQ(read("x1B"), 27);
    EXPECT_EQ(read("X1b"), 27);
    EXPECT_EQ(read("0x1B"), 27);
    EXPECT_EQ(read("0X1B"), 27);
    EXPECT_EQ(read("-$10"), -16);
    EXPECT_EQ(read(" +0x7fffffff"), std::numeric_limits<std::int32_t>::max());
}

TEST(IntegerText, HexUsesAllThirtyTwoBitsAsTheBitPattern)
{
    EXPECT_EQ(read("$FFFFFFFF"), -1);
    EXPECT_EQ(read("$80000000"), std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(rejects("$100000000"));
    EXPECT_TRUE(rejects("0x1FFFFFFFF"));
}

TEST(IntegerText, DecimalRangeIsExactlyThatOfSigned32Bit)
{
    EXPECT_EQ(read("2147483647"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(read("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(rejects("2147483648"));
    EXPECT_TRUE(rejects("-2147483649"));
    EXPECT_TRUE(rejects("4294967296"));
    // Far more digits than any integer type holds must still be refused cleanly.
    EXPECT_TRUE(rejects(std::string(400, '9')));
    EXPECT_TRUE(rejects("$" + std::string(400, 'F')));
}

TEST(IntegerText, RejectsTextWithoutDigitsOrWithAnythingAfterThem)
{
    for (const char *text : {"", "   ", "-", "+", "$", "x", "0x", " -0x", "1A", "12 ", "5-", "0x1G",
                             "00x1B", "- 5", "$-5", "\t5"})
        EXPECT_TRUE(rejects(text)) << "text: '" << text << "'";
    EXPECT_TRUE(rejects(std::string_view("12\0003", 4))); // an embedded NUL ends nothing
}

TEST(StrToInt, ReturnsTheValueOrRaisesConvertErrorWithTheText)
{
    EXPECT_EQ(StrToInt("19200"), 19200);
    try {
        StrToInt("96O0");
        FAIL() << "no exception";
    } catch (const EConvertError &error) {
        EXPECT_EQ(error.message(), "'96O0' is not a valid integer value");
    }
    EXPECT_THROW(StrToInt(""), EConvertError);
}
