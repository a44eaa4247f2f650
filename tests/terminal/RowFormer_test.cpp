// The rows of each view from batches of bytes with given arrival times.
#include "terminal/RowFormer.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <vector>

namespace {

using namespace terminal;

// 13:04:05.000 local time on 2 January 2030, plus ms.
ArrivalTime at(int ms)
{
    std::tm local{};
    local.tm_year = 130;
    local.tm_mday = 2;
    local.tm_hour = 13;
    local.tm_min = 4;
    local.tm_sec = 5;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local)) +
           std::chrono::milliseconds(ms);
}

// The spaces of the hex columns of missing bytes.
std::string missing(int bytes)
{
    return std::string(3 * bytes, ' ');
}

struct Batch
{
    std::string bytes;
    int ms;
};

struct Case
{
    const char *name;
    View view;
    Stamps stamps;
    std::vector<Batch> batches;
    std::optional<int> idleAt; // closeIdle at this time, after the batches
    bool flush;
    std::string closed, open;
};

TEST(RowFormer, FormsTheRowsOfEachView)
{
    const std::string full = "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46  0123456789ABCDEF\n";
    const Case cases[] = {
        {"received view: no row end, no stamp",
         View::Received,
         Stamps::Absolute,
         {{"a\r\nb\x7f", 0}},
         {},
         true,
         "a<0x0D><0x0A>b\x7f",
         ""},
        {"lines: CR LF across batches is one end",
         View::Lines,
         Stamps::Off,
         {{"ab\r", 0}, {"\ncd", 1}},
         {},
         false,
         "ab\n",
         "cd"},
        {"lines: each end, empty rows",
         View::Lines,
         Stamps::Off,
         {{"a\rb\nc\r\nd\n\re", 0}},
         {},
         false,
         "a\nb\nc\nd\n\n",
         "e"},
        {"lines: control bytes written out, flush",
         View::Lines,
         Stamps::Off,
         {{"x\x01\t\xe9", 0}},
         {},
         true,
         "x<0x01><0x09>\xe9\n",
         ""},
        {"lines: stamp of the first byte",
         View::Lines,
         Stamps::Absolute,
         {{"ab", 3}, {"c\n", 900}, {"\nd", 1999}},
         {},
         false,
         "13:04:05.003 abc\n13:04:06.999 \n",
         "13:04:06.999 d"},
        {"lines: relative stamps",
         View::Lines,
         Stamps::Relative,
         {{"a\n", 0}, {"b\n", 12}, {"c", 1012}},
         {},
         false,
         "+0.000 a\n+0.012 b\n",
         "+1.000 c"},
        {"hex: 16 bytes a row",
         View::Hex,
         Stamps::Off,
         {{"0123456789ABCDEFGHIJ", 0}},
         {},
         false,
         full,
         "47 48 49 4A" + missing(12) + "  GHIJ"},
        {"hex: a pause ends a short row",
         View::Hex,
         Stamps::Off,
         {{"ab", 0}, {"cd", 19}, {std::string("\x00\x7f", 2), 39}},
         {},
         false,
         "61 62 63 64" + missing(12) + "  abcd\n",
         "00 7F" + missing(14) + "  .."},
        {"hex: no pause within a full row",
         View::Hex,
         Stamps::Off,
         {{"01234567", 0}, {"89ABCDEF", 10}},
         {},
         false,
         full,
         ""},
        {"hex: idle ends the row, stamps",
         View::Hex,
         Stamps::Absolute,
         {{"0123456789ABCDEFG", 45}, {"\xff", 50}},
         70,
         false,
         "13:04:05.045 " + full + "13:04:05.045 47 FF" + missing(14) + "  G.\n",
         ""},
        {"hex: not idle before the pause",
         View::Hex,
         Stamps::Relative,
         {{"a", 0}},
         19,
         false,
         "",
         "+0.000 61" + missing(15) + "  a"},
    };
    for (const Case &c : cases) {
        RowFormer former(c.view, c.stamps);
        std::string closed;
        for (const Batch &batch : c.batches) {
            former.feed(batch.bytes, at(batch.ms));
            closed += former.takeClosed();
        }
        if (c.idleAt)
            former.closeIdle(at(*c.idleAt));
        if (c.flush)
            former.flush();
        EXPECT_EQ(closed + former.takeClosed(), c.closed) << c.name;
        EXPECT_EQ(former.openRow(), c.open) << c.name;
    }
}

TEST(RowFormer, RelativeStampsCountWholeMillisecondsEitherWay)
{
    const auto t = at(0) + std::chrono::microseconds(900);
    EXPECT_EQ(relativeStamp(t + std::chrono::microseconds(200), t), "+0.001");
    EXPECT_EQ(relativeStamp(t, t + std::chrono::milliseconds(5)), "-0.005");
    EXPECT_EQ(relativeStamp(t + std::chrono::milliseconds(75300), t), "+75.300");
    EXPECT_EQ(absoluteStamp(t + std::chrono::hours(11)), "00:04:05.000");
}

} // namespace
