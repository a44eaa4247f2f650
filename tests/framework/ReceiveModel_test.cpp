#include "framework/core/ReceiveModel.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ReceiveModel, SavesTheTextAsItWasWhenAsked)
{
    // Over the edge of a converting piece, characters of two and three bytes in UTF-8.
    const std::uint64_t piece = std::uint64_t{1} << 20;
    std::string text(piece + 10, 'x');
    text.replace(piece - 1, 2, "\xE9\x80");
    ReceiveModel model;
    model.append(text);
    const BackgroundSave::Content shown = model.saveContent(ReceiveModel::SaveForm::Text);
    const BackgroundSave::Content received = model.saveContent(ReceiveModel::SaveForm::Received);
    model.append("later");
    model.clear();
    const auto written = [](const BackgroundSave::Content &content) {
        std::string all;
        content([&](std::string_view bytes) { all += bytes; });
        return all;
    };
    EXPECT_EQ(written(shown),
              std::string(piece - 1, 'x') + "\xC3\xA9\xE2\x82\xAC" + std::string(9, 'x'));
    EXPECT_EQ(written(received), text);
}

TEST(ReceiveModel, ScrollsByWholeWheelNotchesAndPagesOfTheRowsShown)
{
    ReceiveModel model;
    model.setView(10, 4);
    model.append(std::string(200, 'x'));
    const std::uint64_t end = model.topRow();
    EXPECT_FALSE(model.wheel(60, 120, 3));
    EXPECT_TRUE(model.wheel(60, 120, 3));
    EXPECT_FALSE(model.wheel(-90, 120, 3));
    EXPECT_FALSE(model.wheel(150, 120, 3));
    EXPECT_TRUE(model.scroll(ReceiveModel::Scroll::PageUp));
    EXPECT_EQ(model.topRow(), end - 7);

    // A selection from the middle of one row to the middle of the next.
    model.select(15, 5);
    const auto runs = model.rowRuns(1);
    EXPECT_EQ((std::vector<std::uint64_t>{runs[0].from, runs[1].from, runs[2].from, runs[2].to}),
              (std::vector<std::uint64_t>{10, 10, 15, 20}));
}

namespace {

// Every row of the model as its shown cells.
std::vector<std::string> rows(const ReceiveModel &model)
{
    std::vector<std::string> all;
    const WrappedText &text = model.text();
    for (std::uint64_t row = 0; row < text.rowCount(); ++row)
        all.push_back(text.slice(text.rowStart(row), text.rowEnd(row)));
    return all;
}

// The rows a model wrapping the same text from scratch has.
std::vector<std::string> freshRows(const ReceiveModel &model, int columns)
{
    ReceiveModel fresh;
    fresh.setView(columns, 3);
    fresh.append(model.allText());
    return rows(fresh);
}

} // namespace

TEST(ReceiveModel, LineEndsBreakRowsAndTheEndAndFrontGiveWayAsIfWrappedAfresh)
{
    ReceiveModel model;
    model.setView(8, 3);
    // A line end ends a row and takes no cell, also right at the edge and after blanks there.
    model.append("ab\n12345678\ncd    \nef ghi jklmnopqrs");
    EXPECT_EQ(rows(model),
              (std::vector<std::string>{"ab", "12345678", "cd    ", "ef ghi ", "jklmnopq", "rs"}));
    // The end taken back and written anew, as a hex row that grows: as if appended whole.
    for (const char *tail : {"tu vw\nxy", "\n", "z z z z z z"}) {
        model.removeEnd(3);
        model.append(tail);
        EXPECT_EQ(rows(model), freshRows(model, 8)) << model.allText();
    }

    // The front gives way over chunks, while a snapshot taken before still reads the old text.
    std::string words;
    while (words.size() < (std::uint64_t{5} << 20))
        words += "word" + std::to_string(words.size() % 97) + (words.size() % 7 ? " " : "\n");
    model.clear();
    model.append(words);
    const WrappedText::Snapshot before = model.text().snapshot();
    const std::uint64_t count = std::uint64_t{3} << 20;
    const std::uint64_t dropped = model.replaceFront(count, "[note]\n");
    ASSERT_GT(dropped, count - 8);
    ASSERT_LE(dropped, count);
    EXPECT_EQ(model.allText(), "[note]\n" + words.substr(dropped));
    EXPECT_EQ(rows(model), freshRows(model, 8));
    EXPECT_EQ(before.slice(0, before.size()), words);
    model.append("more");
    EXPECT_EQ(model.allText(), "[note]\n" + words.substr(dropped) + "more");
    // Fewer bytes than the note's: nothing changes.
    EXPECT_EQ(model.replaceFront(3, "[a longer note]\n"), 0u);
}
