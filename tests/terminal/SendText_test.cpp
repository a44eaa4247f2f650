// The send line's escapes and the line ends, case by case.
#include "terminal/SendText.h"

#include <gtest/gtest.h>

namespace {

using namespace terminal;

TEST(SendText, LineEndsAndEscapes)
{
    EXPECT_EQ(lineEndBytes(LineEnd::None), "");
    EXPECT_EQ(lineEndBytes(LineEnd::CR), "\r");
    EXPECT_EQ(lineEndBytes(LineEnd::LF), "\n");
    EXPECT_EQ(lineEndBytes(LineEnd::CRLF), "\r\n");

    struct Case
    {
        std::string_view text;
        std::string bytes;
        std::size_t errorAt;
        std::string escape;
    };
    const Case cases[] = {
        {"plain", "plain", 0, ""},
        {"", "", 0, ""},
        {R"(a\r\n\t\\b)", "a\r\n\t\\b", 0, ""},
        {R"(\x00\x41\xfF\xe9)", std::string("\0A\xFF\xE9", 4), 0, ""},
        {R"(\\x41)", "\\x41", 0, ""},
        {R"(ab\x4)", "", 3, R"(\x4)"},
        {R"(\xZZ1)", "", 1, R"(\xZZ)"},
        {R"(\x4G)", "", 1, R"(\x4G)"},
        {R"(ok\q)", "", 3, R"(\q)"},
        {R"(end\)", "", 4, R"(\)"},
        {R"(\n\x)", "", 3, R"(\x)"},
    };
    for (const Case &c : cases) {
        const Decoded decoded = decodeEscapes(c.text);
        EXPECT_EQ(decoded.bytes, c.bytes) << c.text;
        EXPECT_EQ(decoded.errorAt, c.errorAt) << c.text;
        EXPECT_EQ(decoded.escape, c.escape) << c.text;
        EXPECT_EQ(decoded.ok(), c.errorAt == 0) << c.text;
    }
}

} // namespace
