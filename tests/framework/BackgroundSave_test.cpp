#include "framework/core/BackgroundSave.h"

#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <stdexcept>

namespace {

struct Written
{
    std::string bytes;
    bool finished = false;
};

// A file in memory that fails to take the piece "fail".
BackgroundSave::Open memoryFile(Written &into)
{
    struct File : BackgroundSave::File
    {
        explicit File(Written &into) : into(into) {}
        void write(std::string_view bytes) override
        {
            if (bytes == "fail")
                throw std::runtime_error("disk full");
            into.bytes += bytes;
        }
        void finish() override { into.finished = true; }
        Written &into;
    };
    return [&into] { return std::make_unique<File>(into); };
}

} // namespace

TEST(BackgroundSave, WritesOnItsOwnThreadReportsFailuresAndWaitsForTheRest)
{
    ReportSink sink;
    Written whole, cut;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    {
        BackgroundSave saves;
        saves.start("whole.txt", memoryFile(whole), [released](const auto &write) {
            released.wait_for(std::chrono::seconds(60));
            write("ab");
            write("cd");
        });
        EXPECT_EQ(saves.running(), 1);
        saves.start("cut.txt", memoryFile(cut), [](const auto &write) {
            for (const char *piece : {"ab", "fail", "cd"})
                write(piece);
        });
        saves.start(
            "none.txt",
            []() -> std::unique_ptr<BackgroundSave::File> {
                throw std::runtime_error("no folder");
            },
            [](const auto &) {});
        ASSERT_TRUE(pumpMessages([&] { return sink.messages().size() == 2; }, 60s));
        release.set_value();
    }
    Application::instance().ProcessMessages();
    EXPECT_EQ(whole.bytes, "abcd");
    EXPECT_TRUE(whole.finished);
    EXPECT_EQ(cut.bytes, "ab");
    EXPECT_FALSE(cut.finished);
    std::vector<std::string> messages = sink.messages();
    std::sort(messages.begin(), messages.end());
    EXPECT_EQ(messages, (std::vector<std::string>{"Cannot save \"cut.txt\": disk full.",
                                                  "Cannot save \"none.txt\": no folder."}));
    EXPECT_FALSE(sink.advice()[0].empty());
}
