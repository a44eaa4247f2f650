#include "terminal/RateText.h"

#include "framework/core/ConvertError.h"

#include <gtest/gtest.h>

TEST(RateText, TheNumberTypedIsTheRateInBitsPerSecond)
{
    EXPECT_EQ(rateFromText("19200"), 19200);
    EXPECT_EQ(rateFromText("115200"), 115200);
    EXPECT_EQ(rateFromText("250000"), 250000);
    EXPECT_EQ(rateFromText(" 9600"), 9600);
}

TEST(RateText, TextThatIsNoIntegerIsRefusedWithItsOwnTextInTheMessage)
{
    for (const std::string text : {"abc", "", "9600 BPS", "9600 "}) {
        try {
            rateFromText(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError &error) {
            EXPECT_EQ(error.message(), "'" + text + "' is not a valid integer value");
        }
    }
}
