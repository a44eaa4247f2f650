#include "framework/qt/Timer.h"

#include "framework/core/Exception.h"

#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"

#include <QEventLoop>

namespace {

// Milliseconds until the timer's first tick, -1 if none within limitMs; poke() runs after
// pokeAtMs of pumping.
qint64 firstTick(qt::Timer &timer, int limitMs, int pokeAtMs = -1, std::function<void()> poke = {})
{
    QElapsedTimer clock;
    clock.start();
    qint64 at = -1;
    timer.onTimer = [&](::Timer *) {
        if (at < 0)
            at = clock.elapsed();
    };
    if (poke) {
        pumpMessages([&] { return clock.elapsed() >= pokeAtMs; });
        poke();
    }
    pumpMessages([&] { return at >= 0; }, std::chrono::milliseconds(limitMs));
    timer.onTimer = {};
    return at;
}

} // namespace

TEST(Timer, RunsFromCreationAndTicksEveryInterval)
{
    qt::Timer timer;
    EXPECT_TRUE(timer.enabled());
    EXPECT_TRUE(timer.isRunning());
    int ticks = 0;
    ::Timer *sender = nullptr;
    timer.setInterval(100);
    timer.onTimer = [&](::Timer *t) {
        ++ticks;
        sender = t;
    };
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(pumpMessages([&] { return ticks >= 3; }, 30s));
    EXPECT_GE(clock.elapsed(), 3 * 95); // a coarse timer may tick up to 5 % early
    EXPECT_EQ(sender, &timer);
}

TEST(Timer, EnablingOrTheSameIntervalDoesNotRestartARunningPeriod)
{
    qt::Timer timer;
    timer.setInterval(800);
    // Poked at 300 ms: a restart would put the tick after that of a timer started then (late
    // ticks still come in the order they were due).
    QTimer restarted;
    restarted.setSingleShot(true);
    std::vector<qint64> ticks;
    bool restartedTicked = false;
    QElapsedTimer clock;
    clock.start();
    timer.onTimer = [&](::Timer *) { ticks.push_back(clock.elapsed()); };
    QObject::connect(&restarted, &QTimer::timeout, [&] { restartedTicked = true; });
    pumpMessages([&] { return clock.elapsed() >= 300; });
    timer.setEnabled(true);
    timer.setInterval(800);
    restarted.start(800);
    ASSERT_TRUE(pumpMessages([&] { return restartedTicked; }, 30s));
    ASSERT_FALSE(ticks.empty()) << "no tick before that of a restarted period";
    EXPECT_GE(ticks[0], 750);
}

TEST(Timer, ANewIntervalRestartsARunningPeriod)
{
    qt::Timer timer;
    timer.setInterval(800);
    EXPECT_GE(firstTick(timer, 30000, 300, [&] { timer.setInterval(801); }), 1090);
}

TEST(Timer, StopsWhenDisabledOrAtIntervalZeroAndKeepsAStoredInterval)
{
    qt::Timer timer;
    timer.setEnabled(false);
    timer.setInterval(50);
    EXPECT_EQ(firstTick(timer, 300), -1);
    timer.setEnabled(true);
    EXPECT_GE(firstTick(timer, 30000), 0);
    timer.setInterval(0);
    EXPECT_EQ(firstTick(timer, 300), -1);
}

TEST(Timer, FailingHandlerGoesThroughTheGuard)
{
    ReportSink sink;
    qt::Timer timer;
    timer.setInterval(20);
    timer.onTimer = [](::Timer *t) {
        t->setEnabled(false); // also proves a handler may stop its own timer: it ticks once
        throw Exception("tick failed");
    };
    EXPECT_THROW(pumpMessages([] { return false; }, 3s), Exception);
    EXPECT_TRUE(sink.messages().empty());

    timer.setEnabled(true);
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"tick failed."});
}
