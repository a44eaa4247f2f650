// The rows of each view from batches of bytes with given arrival times.
#include "terminal/RowFormer.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using namespace terminal;
using enum View;
using enum Stamps;

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

// The hex columns of bytes missing from a row.
std::string gap(int bytes)
{
    return std::string(3 * bytes, ' ');
}

struct Case
{
    const char *name;
    View view;
    Stamps stamps;
    std::string batches; // "ms:bytes|ms:bytes..."
    int idleAt;          // closeIdle at this time after the batches; 0 for none
    std::string closed, open;
};

TEST(RowFormer, FormsTheRowsOfEachView)
{
    const std::string row = "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46  0123456789ABCDEF\n";
    const Case cases[] = {
        {"received: no row end, no stamp", Received, Absolute, "0:a\r\nb\x7f", 0,
         "a<0x0D><0x0A>b\x7f", ""},
        {"lines: CR LF across batches", Lines, Off, "0:ab\r|1:\ncd", 0, "ab\n", "cd"},
        {"lines: each end", Lines, Off, "0:a\rb\nc\r\nd\n\re", 0, "a\nb\nc\nd\n\n", "e"},
        {"lines: bytes shown", Lines, Off, "0:x\x01\t\xe9", 0, "", "x<0x01><0x09>\xe9"},
        {"lines: first byte's stamp", Lines, Absolute, "3:ab|900:c\n|1999:\nd", 0,
         "13:04:05.003 abc\n13:04:06.999 \n", "13:04:06.999 d"},
        {"lines: relative", Lines, Relative, "0:a\n|12:b\n|1012:c", 0, "+0.000 a\n+0.012 b\n",
         "+1.000 c"},
        {"lines: clock set back", Lines, Relative, "10:a\n|5:b", 0, "+0.000 a\n", "-0.005 b"},
        {"hex: 16 bytes a row", Hex, Off, "0:0123456789ABCDEFGHIJ", 0, row,
         "47 48 49 4A" + gap(12) + "  GHIJ"},
        {"hex: pause ends a row", Hex, Off, "0:ab|19:cd|39:" + std::string("\0\x7f", 2), 0,
         "61 62 63 64" + gap(12) + "  abcd\n", "00 7F" + gap(14) + "  .."},
        {"hex: full row", Hex, Off, "0:01234567|10:89ABCDEF", 0, row, ""},
        {"hex: idle, stamps", Hex, Absolute, "45:0123456789ABCDEFG|50:\xff", 70,
         "13:04:05.045 " + row + "13:04:05.045 47 FF" + gap(14) + "  G.\n", ""},
        {"hex: not yet idle", Hex, Relative, "0:a", 19, "", "+0.000 61" + gap(15) + "  a"},
        {"hex: rows of one batch", Hex, Relative, "0:a|30:0123456789ABCDEF0123456789ABCDEFx", 0,
         "+0.000 61" + gap(15) + "  a\n+0.030 " + row + "+0.000 " + row,
         "+0.000 78" + gap(15) + "  x"},
    };
    for (const Case &c : cases) {
        // A twin feeds a display that shows the open row too, changing only at its end.
        RowFormer former(c.view, c.stamps), twin(c.view, c.stamps);
        std::string closed, shown;
        const auto showChange = [&] {
            RowFormer::Change change = twin.takeChange();
            ASSERT_LE(change.retract, shown.size()) << c.name;
            shown.resize(shown.size() - change.retract);
            shown += change.text;
            twin.reuse(std::move(change.text)); // its memory serves the next change
        };
        for (std::string_view batches = c.batches; !batches.empty();) {
            const std::size_t colon = batches.find(':'), bar = batches.find('|');
            const int ms = std::stoi(std::string(batches.substr(0, colon)));
            former.feed(batches.substr(colon + 1, bar - colon - 1), at(ms));
            twin.feed(batches.substr(colon + 1, bar - colon - 1), at(ms));
            closed += former.takeClosed();
            showChange();
            EXPECT_EQ(shown, closed + former.openRow()) << c.name;
            batches.remove_prefix(bar == batches.npos ? batches.size() : bar + 1);
        }
        if (c.idleAt) {
            former.closeIdle(at(c.idleAt));
            twin.closeIdle(at(c.idleAt));
            showChange();
        }
        EXPECT_EQ(shown, c.closed + c.open) << c.name;
        EXPECT_EQ(closed + former.takeClosed(), c.closed) << c.name;
        EXPECT_EQ(former.openRow(), c.open) << c.name;
        former.flush();
        EXPECT_EQ(former.takeClosed(), c.open.empty() ? "" : c.open + "\n") << c.name;
    }
}

} // namespace
