// The modem watcher's thread on lines whose waits end as the test says.
#include "platform/posix/LineStatus.h"
#include "platform/posix/ModemWatcher.h"
#include "tests/platform/PortTestUtil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

namespace {

using Wake = ModemWatcher::Wake;

// Lines whose wait ends at once with `status`, or, for EINTR, only when a signal comes.
struct ScriptedLines : LineStatus
{
    explicit ScriptedLines(int status) : status(status) {}
    int modemLines(DWORD &) override { return 0; }
    int errorCounters(LineCounters &) override { return 0; }
    int setDtr(bool) override { return 0; }
    int setRts(bool) override { return 0; }
    bool waitsForModemChanges() const override { return true; }
    int waitModemChange() override { return status == EINTR ? (pause(), EINTR) : status; }
    const int status;
};

struct Watch
{
    std::mutex mutex; // the port's lock
    int wakes = 0;
    int giveUps = 0;
    ModemWatcher watcher;

    // Runs the watcher until it gives up, or until stop() when it waits for a signal; each
    // wake-up's result is change(wake number).
    void run(ScriptedLines &lines, std::function<Wake(int)> change)
    {
        ASSERT_TRUE(watcher.start(
            lines, mutex, [&, change](int) { return change(++wakes); }, [&] { ++giveUps; }));
        if (lines.status != EINTR) {
            ASSERT_TRUE(eventually([&] {
                std::lock_guard lock(mutex);
                return !watcher.waiting() || wakes >= 1000;
            }));
        }
        watcher.stop();
    }
};

TEST(ModemWatcher, GivesUpOnADeviceThatFailsOrWakesItWithoutChanges)
{
    ScriptedLines failing(EIO), empty(0);
    Watch first, second;
    first.run(failing, [](int) { return Wake::Unchanged; });
    EXPECT_EQ(first.wakes, 1);
    EXPECT_EQ(first.giveUps, 1);
    second.run(empty, [](int) { return Wake::Unchanged; });
    EXPECT_EQ(second.wakes, 101);
    EXPECT_EQ(second.giveUps, 1);
    EXPECT_FALSE(second.watcher.waiting());
}

TEST(ModemWatcher, AChangeKeepsItWaitingAndStopEndsAWaitOnlyASignalEnds)
{
    ScriptedLines changing(0), blocking(EINTR);
    Watch first, second;
    first.run(changing, [](int wake) {
        return wake == 1000 ? Wake::Stop : wake % 100 ? Wake::Unchanged : Wake::Changed;
    });
    EXPECT_EQ(first.wakes, 1000);
    EXPECT_EQ(first.giveUps, 0);
    second.run(blocking, [](int) { return Wake::Unchanged; });
    EXPECT_EQ(second.giveUps, 0);
    EXPECT_TRUE(second.watcher.waiting());
}

} // namespace
