#include "framework/core/Timer.h"

#include "framework/core/Exception.h"

#include "CoreTestSupport.h"

#include <QEventLoop>

namespace {

// Pumps for about ms milliseconds, like the exchange wait does.
void pumpFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    pumpUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

// Milliseconds from now until the timer's first tick, -1 if none within limitMs.
qint64 firstTick(Timer &timer, int limitMs, const std::function<void()> &atStart = {})
{
    QElapsedTimer clock;
    clock.start();
    qint64 at = -1;
    timer.setOnTimer([&](Timer *) {
        if (at < 0)
            at = clock.elapsed();
    });
    if (atStart)
        atStart();
    pumpUntil([&] { return at >= 0; }, limitMs);
    timer.setOnTimer({});
    return at;
}

} // namespace

TEST(Timer, RunsFromCreationAndTicksEveryInterval)
{
    Timer timer;
    EXPECT_TRUE(timer.enabled());
    EXPECT_TRUE(timer.isRunning());
    EXPECT_EQ(timer.interval(), 1000);

    int ticks = 0;
    Timer *sender = nullptr;
    timer.setInterval(100);
    timer.setOnTimer([&](Timer *t) {
        ++ticks;
        sender = t;
    });
    pumpFor(750);
    EXPECT_GE(ticks, 3);
    EXPECT_LE(ticks, 8);
    EXPECT_EQ(sender, &timer);
}

TEST(Timer, EnablingARunningTimerDoesNotRestartItsPeriod)
{
    Timer timer;
    timer.setInterval(800);
    // Poked at 300 ms: a restart would put the tick at about 1100 ms.
    const qint64 at = firstTick(timer, 3000, [&] {
        pumpFor(300);
        timer.setEnabled(true);
        timer.setInterval(800);
    });
    EXPECT_GE(at, 750);
    EXPECT_LT(at, 1050);
}

TEST(Timer, ANewIntervalRestartsARunningTimer)
{
    Timer timer;
    timer.setInterval(800);
    const qint64 at = firstTick(timer, 4000, [&] {
        pumpFor(300);
        timer.setInterval(801);
    });
    EXPECT_GE(at, 1090);
}

TEST(Timer, DisabledOrZeroIntervalTimerDoesNotTickAndAStoredIntervalAppliesOnEnable)
{
    Timer timer;
    timer.setEnabled(false);
    timer.setInterval(50);
    EXPECT_FALSE(timer.isRunning());
    EXPECT_EQ(firstTick(timer, 300), -1);

    timer.setEnabled(true);
    EXPECT_GE(firstTick(timer, 2000), 0);

    timer.setInterval(0);
    EXPECT_FALSE(timer.isRunning());
    EXPECT_EQ(firstTick(timer, 300), -1);
}

TEST(Timer, HandlerThatDisablesItselfTicksOnce)
{
    Timer timer;
    timer.setInterval(30);
    int ticks = 0;
    timer.setOnTimer([&](Timer *t) {
        ++ticks;
        t->setEnabled(false);
    });
    pumpFor(400);
    EXPECT_EQ(ticks, 1);
}

TEST(Timer, FailingHandlerGoesThroughTheGuard)
{
    ReportSink sink;
    Timer timer;
    timer.setInterval(20);
    timer.setOnTimer([](Timer *t) {
        t->setEnabled(false);
        throw Exception("tick failed");
    });
    // Inside the exchange wait's pumping the failure ends the wait.
    EXPECT_THROW(pumpUntil([] { return false; }, 3000), Exception);
    EXPECT_TRUE(sink.messages().empty());

    // In Qt's own loop it is reported.
    timer.setEnabled(true);
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"tick failed."});
}
