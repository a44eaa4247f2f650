// The PARMRK marks in received bytes, on explicit input.
#include "platform/posix/MarkParser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The bytes as the port keeps them: data as is, a damaged byte as '?', a break as '#'.
std::string parse(MarkParser &parser, const std::string &received)
{
    std::string kept;
    for (const char c : received) {
        const MarkParser::Byte kind = parser.feed(std::uint8_t(c));
        if (kind != MarkParser::Byte::Held)
            kept += kind == MarkParser::Byte::Data      ? c
                    : kind == MarkParser::Byte::Damaged ? '?'
                                                        : '#';
    }
    return kept;
}

TEST(MarkParser, ReadsLiteralsBreaksAndDamagedBytes)
{
    MarkParser parser;
    EXPECT_EQ(parse(parser, std::string("a\377\377b\0", 5)), std::string("a\377b\0", 4));
    EXPECT_EQ(parse(parser, std::string("\377\0\0c\377\0d", 7)), "#c?");
}

TEST(MarkParser, AMarkSplitAcrossReadsIsReadWhole)
{
    MarkParser parser;
    EXPECT_EQ(parse(parser, "x\377"), "x");
    EXPECT_EQ(parse(parser, "\377"), "\377");
    EXPECT_EQ(parse(parser, std::string("\377\0", 2)), "");
    EXPECT_EQ(parse(parser, std::string("\0", 1)), "#");
    EXPECT_EQ(parse(parser, std::string("\377\0", 2)), "");
    EXPECT_EQ(parse(parser, "e"), "?");
    parse(parser, "\377");
    parser.reset();
    EXPECT_EQ(parse(parser, std::string("\0", 1)), std::string("\0", 1));
}

} // namespace
