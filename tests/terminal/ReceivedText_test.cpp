#include "terminal/ReceivedText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace terminal;

TEST(ReceivedText, ControlBytesAreWrittenOutAndAllOthersShownAsThemselves)
{
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        char hex[8];
        std::snprintf(hex, sizeof hex, "<0x%02X>", b);
        EXPECT_EQ(receivedText(byte), b < 32 ? std::string(hex) : byte) << "byte " << b;
    }
}

TEST(ReceivedText, LineEndsStayOnTheLineAndTextContinuesAfterThem)
{
    std::string shown;
    appendReceivedText(shown, "AB\r\n");
    appendReceivedText(shown, std::string("C\0\x02\x1F\x7F\xE9", 6));
    EXPECT_EQ(shown, "AB<0x0D><0x0A>C<0x00><0x02><0x1F>\x7F\xE9");
}

TEST(ReceivedText, AppendingPieceByPieceEqualsConvertingAtOnce)
{
    std::string all;
    for (int i = 0; i < 5000; ++i)
        all += static_cast<char>(i * 37 % 256);
    std::string shown = "kept ";
    for (std::size_t at = 0; at < all.size(); at += 7)
        appendReceivedText(shown, std::string_view(all).substr(at, 7));
    EXPECT_EQ(shown, "kept " + receivedText(all));
}

TEST(ReceivedText, TheTextAndItsMarksGiveBackTheReceivedBytes)
{
    std::string everyByte;
    for (int i = 0; i < 512; ++i)
        everyByte += static_cast<char>(i % 256);
    // Received text that looks like the written-out form, and a '<' at the very end.
    const std::string cases[] = {everyByte, "<0x0D>\r<<0x0>x<", std::string("\0<", 2), ""};
    // Pieces shorter and longer than the words that a flood is taken in.
    for (const std::size_t piece : {7, 13, 4096}) {
        for (const std::string &bytes : cases) {
            std::string shown;
            ControlMarks marks;
            for (std::size_t at = 0; at < bytes.size(); at += piece) {
                appendReceivedText(shown, std::string_view(bytes).substr(at, piece));
                marks.append(std::string_view(bytes).substr(at, piece));
            }
            EXPECT_EQ(shown, receivedText(bytes)) << piece;
            EXPECT_EQ(receivedBytes(shown, marks), bytes) << piece;
        }
    }
    ControlMarks marks;
    marks.append("\r<");
    marks.clear();
    EXPECT_EQ(receivedBytes("<0x0D>", marks), "<0x0D>");
}
