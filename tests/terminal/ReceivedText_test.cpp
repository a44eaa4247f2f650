// The received view's text is the test tab's, byte for byte.
#include "terminal/ReceivedText.h"

#include "app/terminal/ReceiveFormat.h"

#include <gtest/gtest.h>

namespace {

std::string shown(std::string_view bytes)
{
    std::string text = "kept ";
    terminal::appendReceivedText(text, bytes);
    return text;
}

TEST(ReceivedText, EqualsTheTestTabsTextForEveryByteAndSequence)
{
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        EXPECT_EQ(shown(one), "kept " + receivedText(one)) << byte;
        everyByte += one;
    }
    const std::string sequences[] = {
        "",
        everyByte,
        "line one\r\nline two\r\n",
        "<0x0D> is not \r",
        std::string("\0\0\xff\x1f\x20<", 6),
        "no control byte anywhere in this run of text, longer than a word or two",
    };
    for (const std::string &bytes : sequences)
        EXPECT_EQ(shown(bytes), "kept " + receivedText(bytes)) << bytes;
}

} // namespace
