#include "framework/core/WrappedText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> visibleRows(const WrappedText &text)
{
    std::vector<std::string> rows;
    for (std::uint64_t row = 0; row < text.rowCount(); ++row)
        rows.push_back(text.slice(text.rowStart(row), text.rowEnd(row)));
    return rows;
}

std::vector<std::uint64_t> rowStarts(const WrappedText &text)
{
    std::vector<std::uint64_t> starts;
    for (std::uint64_t row = 0; row < text.rowCount(); ++row)
        starts.push_back(text.rowStart(row));
    return starts;
}

WrappedText wrappedAtOnce(const std::string &bytes, int columns)
{
    WrappedText text(columns);
    text.append(bytes);
    return text;
}

// The rows a box shows for the whole text, worked out from scratch.
std::vector<std::uint64_t> rowStartsFromScratch(const std::string &t, std::uint64_t width,
                                                bool lineEnds = false)
{
    std::vector<std::uint64_t> starts{0};
    std::uint64_t s = 0;
    for (;;) {
        const auto lineEnd = lineEnds ? t.find('\n', s) : std::string::npos;
        if (lineEnd != std::string::npos && lineEnd <= s + width) {
            starts.push_back(s = lineEnd + 1);
            continue;
        }
        if (t.size() - s <= width)
            break;
        std::uint64_t next = s + width;
        if (t[next] == ' ') {
            while (next < t.size() && t[next] == ' ')
                ++next;
            if (next == t.size())
                break;
            next += lineEnds && t[next] == '\n';
        } else {
            const auto blank = t.rfind(' ', s + width - 1);
            if (blank != std::string::npos && blank >= s)
                next = blank + 1;
        }
        starts.push_back(s = next);
    }
    return starts;
}

} // namespace

TEST(WrappedText, RowsBreakAfterTheLastBlankThatFitsAndLongWordsAtTheEdge)
{
    EXPECT_EQ(visibleRows(wrappedAtOnce("hello world again", 10)),
              (std::vector<std::string>{"hello ", "world ", "again"}));
    EXPECT_EQ(visibleRows(wrappedAtOnce("abcdefghijklmnopqrstuvwxy", 10)),
              (std::vector<std::string>{"abcdefghij", "klmnopqrst", "uvwxy"}));
    EXPECT_EQ(visibleRows(wrappedAtOnce("AB<0x0D><0x0A>", 6)),
              (std::vector<std::string>{"AB<0x0", "D><0x0", "A>"}));
    // A row exactly full stays one row until the next character decides.
    EXPECT_EQ(wrappedAtOnce("abcdefghij", 10).rowCount(), 1u);
    EXPECT_EQ(WrappedText(10).rowCount(), 1u);
}

TEST(WrappedText, BlanksAtTheEdgeHangThereEvenWhenTheyArriveOneByOne)
{
    WrappedText text(10);
    text.append("abcdefghij");
    for (int i = 0; i < 25; ++i) {
        text.append(" ");
        EXPECT_EQ(text.rowCount(), 1u);
    }
    text.append("klm");
    EXPECT_EQ(visibleRows(text), (std::vector<std::string>{"abcdefghij", "klm"}));
    EXPECT_EQ(text.rowOf(20), 0u);
    EXPECT_EQ(text.rowOf(35), 1u);
}

TEST(WrappedText, AppendingPieceByPieceWrapsAsTheWholeTextAtOnce)
{
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        // With line ends on, lines end, and the end is taken back as a growing row's is.
        const bool lineEnds = round % 2 == 1;
        const int width = 1 + static_cast<int>(random() % 40);
        const unsigned blankEvery = 2 + random() % 30;
        std::string all;
        WrappedText text(width, lineEnds);
        while (all.size() < 2000) {
            std::string piece(random() % 50, 'x');
            for (char &c : piece) {
                c = random() % blankEvery == 0 ? ' ' : static_cast<char>('a' + random() % 26);
                c = lineEnds && random() % 60 == 0 ? '\n' : c;
            }
            all += piece;
            text.append(piece);
            if (lineEnds && random() % 5 == 0) {
                all.resize(all.size() - std::min<std::size_t>(all.size(), random() % 30));
                text.truncate(all.size());
            }
        }
        ASSERT_EQ(rowStarts(text), rowStartsFromScratch(all, width + 0u, lineEnds))
            << "width " << width << " text " << all;
        // Another width rewraps the same text as if it had been appended at that width.
        text.setColumns(width + 7);
        ASSERT_EQ(rowStarts(text), rowStartsFromScratch(all, width + 7u, lineEnds));
    }
}

TEST(WrappedText, TextBeyondOneStorageChunkReadsBackWhole)
{
    std::string all;
    for (int i = 0; i < 2'500'000; ++i)
        all += static_cast<char>(i * 131 % 251);
    // The only blank of a row that runs across the 2 MiB mark lies before it.
    std::fill(all.begin() + 2'097'000, all.begin() + 2'097'300, 'x');
    all[2'097'147] = ' ';
    WrappedText text(60);
    for (std::size_t at = 0; at < all.size(); at += 4093)
        text.append(std::string_view(all).substr(at, 4093));
    ASSERT_EQ(text.size(), all.size());
    EXPECT_EQ(rowStarts(text), rowStartsFromScratch(all, 60));
    EXPECT_EQ(text.rowStart(text.rowOf(2'097'150)), 2'097'148u);
    EXPECT_EQ(text.slice(0, text.size()), all);
    EXPECT_EQ(text.slice(1'048'570, 1'048'590), all.substr(1'048'570, 20));
    EXPECT_EQ(text.at(2'097'152), all[2'097'152]);
    EXPECT_EQ(text.slice(text.size() - 3, text.size() + 10), all.substr(all.size() - 3));

    text.clear();
    EXPECT_EQ(text.size(), 0u);
    EXPECT_EQ(text.rowCount(), 1u);
    text.append("again");
    EXPECT_EQ(visibleRows(text), std::vector<std::string>{"again"});
}

TEST(WrappedText, ASnapshotKeepsItsBytesWhileTheTextGrowsAndIsCleared)
{
    // Past one 2 MiB chunk of memory, ending inside the next, which the text goes on filling.
    std::string bytes(3u << 20, 'a');
    for (std::size_t i = 0; i < bytes.size(); i += 997)
        bytes[i] = static_cast<char>(i % 256);
    WrappedText text(80);
    text.append(bytes);
    const WrappedText::Snapshot snapshot = text.snapshot();
    text.append(std::string(1u << 20, 'b'));
    text.clear();
    text.append("new");
    ASSERT_EQ(snapshot.size(), bytes.size());
    EXPECT_TRUE(snapshot.slice(0, snapshot.size()) == bytes);
    EXPECT_EQ(snapshot.slice(bytes.size() - 2, bytes.size() + 5), bytes.substr(bytes.size() - 2));
}
