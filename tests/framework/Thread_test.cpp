#include "framework/core/Thread.h"

#include "framework/core/Exception.h"
#include "framework/core/UiCallQueue.h"

#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"
#include "tests/support/Watchdog.h"

#include <QEventLoop>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

class LambdaThread : public Thread
{
public:
    explicit LambdaThread(std::function<void(LambdaThread &)> body) : m_body(std::move(body)) {}
    ~LambdaThread() override
    {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override { m_body(*this); }

private:
    std::function<void(LambdaThread &)> m_body;
};

void waitForQueuedCall()
{
    while (UiCallQueue::instance().empty())
        std::this_thread::sleep_for(1ms);
}

} // namespace

TEST(Thread, IsCreatedSuspendedAndStartsOnce)
{
    std::atomic<int> runs{0};
    {
        LambdaThread neverStarted([&](LambdaThread &) { ++runs; });
    }
    LambdaThread thread([&](LambdaThread &) { ++runs; });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(runs, 0);
    thread.Start();
    thread.WaitFor();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(thread.Finished());
    EXPECT_THROW(thread.Start(), std::logic_error);
}

TEST(Synchronize, RunsOnTheUiThreadWhileTheCallerBlocks)
{
    std::atomic<bool> ranOnUiThread{false}, callerReturned{false}, callerSawResult{false};
    int result = 0;
    LambdaThread thread([&](LambdaThread &) {
        Thread::Synchronize([&] {
            ranOnUiThread = Application::instance().isUiThread();
            result = 42;
        });
        callerSawResult = result == 42;
        callerReturned = true;
    });
    thread.Start();
    waitForQueuedCall();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(callerReturned) << "the caller must wait until the UI thread has run fn";

    EXPECT_TRUE(pumpMessages([&] { return callerReturned.load(); }));
    EXPECT_TRUE(ranOnUiThread);
    EXPECT_TRUE(callerSawResult);

    // On the UI thread itself: a plain call, failure included.
    bool direct = false;
    Thread::Synchronize([&] { direct = true; });
    EXPECT_TRUE(direct);
    EXPECT_THROW(Thread::Synchronize([] { throw Exception("direct"); }), Exception);
}

TEST(Synchronize, FailureReachesTheUiThreadAndTheCallerGoesOn)
{
    ReportSink sink;
    std::atomic<int> passes{0};
    LambdaThread thread([&](LambdaThread &) {
        for (int i = 0; i < 3; ++i) {
            Thread::Synchronize([i] { throw Exception("reaction " + std::to_string(i)); });
            ++passes;
        }
    });
    thread.Start();
    // The first failure ends the running ProcessMessages...
    waitForQueuedCall();
    EXPECT_THROW(Application::instance().ProcessMessages(), Exception);
    // ...the others, dispatched by Qt's own loop, are reported.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (thread.Finished())
            loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();

    EXPECT_EQ(passes, 3);
    EXPECT_EQ(sink.messages(), (std::vector<std::string>{"reaction 1.", "reaction 2."}));
}

TEST(Thread, FailureLeavingExecuteReachesTheUiThread)
{
    LambdaThread thread([](LambdaThread &) { throw std::runtime_error("event thread died"); });
    thread.Start();
    EXPECT_THROW(pumpMessages([] { return false; }, 5s), std::runtime_error);
}

TEST(WaitFor, ServesPendingSynchronizeCallsAndReportsTheirFailures)
{
    Watchdog watchdog(20s);
    ReportSink sink;
    std::atomic<bool> ran{false};
    LambdaThread thread([&](LambdaThread &) {
        Thread::Synchronize([&] { ran = true; });
        Thread::Synchronize([] { throw Exception("in Close"); });
    });
    thread.Start();
    waitForQueuedCall();
    // The UI thread never pumps: only WaitFor can run what the thread waits for. It cannot
    // throw (it runs in destructors), even inside a ProcessMessages frame.
    Application::Frame insideProcessMessages(Application::Frame::Capture);
    EXPECT_NO_THROW(thread.WaitFor());
    EXPECT_TRUE(ran);
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"in Close."});
    EXPECT_FALSE(insideProcessMessages.captured());
}

TEST(Thread, DestroyedWhileASynchronizeCallIsPendingEndsWithoutDeadlock)
{
    Watchdog watchdog(20s);
    std::atomic<int> calls{0};
    auto thread = std::make_unique<LambdaThread>([&](LambdaThread &self) {
        while (!self.Terminated())
            Thread::Synchronize([&] { ++calls; });
    });
    thread->Start();
    waitForQueuedCall();
    thread.reset();
    EXPECT_GE(calls, 1);
}

TEST(WaitFor, CalledFromInsideTheThreadsOwnCallDoesNotDeadlock)
{
    Watchdog watchdog(20s);
    std::atomic<bool> waited{false};
    std::unique_ptr<LambdaThread> thread;
    thread = std::make_unique<LambdaThread>([&](LambdaThread &) {
        // Like a receive handler that closes the port: it waits for the very thread that
        // waits for this routine.
        Thread::Synchronize([&] {
            thread->Terminate();
            thread->WaitFor();
            waited = thread->Finished();
        });
    });
    thread->Start();
    EXPECT_TRUE(pumpMessages([&] { return waited.load(); }));
}
