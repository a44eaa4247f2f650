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
