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

// Runs a watcher until it gives up or its handler stops it, or, on lines that wait for a
// signal, until stop(); each wake-up's result is handler(its number). Gives the wake-ups and
// whether the watcher gave up.
std::pair<int, bool> watch(int status, std::function<Wake(int)> handler)
{
    ScriptedLines lines(status);
    std::mutex mutex; // the port's lock
    int wakes = 0;
    bool gaveUp = false;
    ModemWatcher watcher;
    EXPECT_TRUE(watcher.start(
        lines, mutex, [&](int) { return handler(++wakes); }, [&] { gaveUp = true; }));
    EXPECT_TRUE(status == EINTR || eventually([&] {
                    std::lock_guard lock(mutex);
                    return gaveUp || wakes >= 1000;
                }));
    watcher.stop();
    EXPECT_EQ(watcher.waiting(), !gaveUp);
    return {wakes, gaveUp};
}

TEST(ModemWatcher, GivesUpOnADeviceThatFailsOrWakesItWithoutChanges)
{
    const auto unchanged = [](int) { return Wake::Unchanged; };
    EXPECT_EQ(watch(EIO, unchanged), std::make_pair(1, true));
    EXPECT_EQ(watch(0, unchanged), std::make_pair(101, true));
    // A change now and then keeps it waiting.
    EXPECT_EQ(watch(0,
                    [](int n) {
                        return n == 1000 ? Wake::Stop : n % 100 ? Wake::Unchanged : Wake::Changed;
                    }),
              std::make_pair(1000, false));
}

TEST(ModemWatcher, StopEndsAWaitThatOnlyASignalEnds)
{
    EXPECT_EQ(watch(EINTR, [](int) { return Wake::Unchanged; }), std::make_pair(0, false));
}

} // namespace
