#include "framework/core/CaptureWriter.h"

#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// A file in memory on a disk with room for `room` bytes: a write past it keeps what fits and
// fails. "|" marks it finished.
struct File : BackgroundSave::File
{
    File(std::string &bytes, std::size_t room) : bytes(bytes), room(room) {}
    void write(std::string_view piece) override
    {
        bytes += piece.substr(0, room - bytes.size());
        if (bytes.size() == room)
            throw std::runtime_error("disk full");
    }
    void finish() override { bytes += "|"; }
    std::string &bytes;
    std::size_t room;
};

} // namespace

TEST(CaptureWriter, WritesEverythingInOrderByItsEndOrReportsTheFirstFailureOnceAndStops)
{
    for (const auto &[room, kept, reason] :
         {std::tuple(100, "abcdefghi|", ""), std::tuple(4, "abcd", "disk full"),
          std::tuple(0, "", "no such folder")}) {
        ReportSink sink;
        std::string bytes;
        int stopped = 0;
        {
            CaptureWriter writer(
                "log.bin",
                [&, room = room]() -> std::unique_ptr<BackgroundSave::File> {
                    if (room == 0)
                        throw std::runtime_error("no such folder");
                    return std::make_unique<File>(bytes, room);
                },
                [&] { ++stopped; });
            writer.write("abc");
            writer.write("def");
            ASSERT_TRUE(pumpMessages([&] { return stopped == (*reason ? 1 : 0); }, 60s));
            writer.write("ghi");
            EXPECT_EQ(writer.failed(), *reason != '\0');
        }
        EXPECT_EQ(bytes, kept);
        EXPECT_EQ(stopped, *reason ? 1 : 0);
        EXPECT_EQ(sink.messages(),
                  *reason ? std::vector<std::string>{"Cannot capture to \"log.bin\": " +
                                                     std::string(reason) + "."}
                          : std::vector<std::string>{});
    }
}
