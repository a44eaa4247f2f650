#include "framework/core/CaptureWriter.h"

#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>

namespace {

// A file in memory on a disk with room for `room` bytes (a write past it keeps what fits and
// fails), or in a folder that is gone; read by the test while the writing thread writes.
struct Disk
{
    std::size_t room = std::string::npos;
    bool folderGone = false;
    std::mutex mutex;
    std::string bytes;
    bool finished = false;

    std::string held()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return bytes + (finished ? "|" : "");
    }
    CaptureWriter::Open open()
    {
        struct File : BackgroundSave::File
        {
            explicit File(Disk &disk) : disk(disk) {}
            void write(std::string_view piece) override
            {
                const std::lock_guard<std::mutex> lock(disk.mutex);
                disk.bytes += piece.substr(0, disk.room - disk.bytes.size());
                if (disk.bytes.size() == disk.room)
                    throw std::runtime_error("disk full");
            }
            void finish() override { disk.finished = true; }
            Disk &disk;
        };
        return [this]() -> std::unique_ptr<BackgroundSave::File> {
            if (folderGone)
                throw std::runtime_error("no such folder");
            return std::make_unique<File>(*this);
        };
    }
};

} // namespace

TEST(CaptureWriter, WritesWhileRunningAndEverythingInOrderByItsEnd)
{
    ReportSink sink;
    Disk disk;
    std::string expected = "first";
    {
        CaptureWriter writer("log.bin", disk.open());
        writer.write("first");
        ASSERT_TRUE(waitFor([&] { return disk.held() == "first"; }, 60s));
        for (int i = 0; i < 2000; ++i) {
            writer.write(std::to_string(i) + ",");
            expected += std::to_string(i) + ",";
        }
    }
    EXPECT_EQ(disk.held(), expected + "|");
    EXPECT_TRUE(sink.messages().empty());
}

TEST(CaptureWriter, AFailureIsReportedOnceAndEndsTheCaptureKeepingWhatWasWritten)
{
    for (const bool folderGone : {false, true}) {
        SCOPED_TRACE(folderGone ? "folder gone" : "disk full");
        ReportSink sink;
        Disk disk;
        disk.room = 4;
        disk.folderGone = folderGone;
        int stopped = 0;
        CaptureWriter writer("log.bin", disk.open(), [&] { ++stopped; });
        writer.write("abc");
        writer.write("def");
        ASSERT_TRUE(pumpMessages([&] { return stopped == 1; }, 60s));
        EXPECT_TRUE(writer.failed());
        writer.write("ghi");
        pumpMessages(never, 50ms);
        EXPECT_EQ(disk.held(), folderGone ? "" : "abcd");
        EXPECT_EQ(stopped, 1);
        EXPECT_EQ(sink.messages(),
                  std::vector<std::string>{std::string("Cannot capture to \"log.bin\": ") +
                                           (folderGone ? "no such folder." : "disk full.")});
    }
}
