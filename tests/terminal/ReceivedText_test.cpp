// The received view's text is the test tab's, byte for byte.
#include "terminal/ReceivedText.h"

#include "app/terminal/ReceiveFormat.h"

#include <gtest/gtest.h>

TEST(ReceivedText, EqualsTheTestTabsTextForEveryByteAndSequence)
{
    std::vector<std::string> inputs = {"line one\r\nline two\r\n", "<0x0D> is not \r",
                                       "no control byte in this run, longer than a word or two"};
    inputs.emplace_back("\0\0\xff\x1f\x20<", 6);
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        inputs.emplace_back(1, static_cast<char>(byte));
        everyByte += inputs.back();
    }
    inputs.push_back(everyByte);
    for (const std::string &bytes : inputs) {
        std::string text = "kept ";
        terminal::appendReceivedText(text, bytes);
        EXPECT_EQ(text, "kept " + receivedText(bytes)) << bytes;
    }
}
