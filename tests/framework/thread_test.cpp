#include "framework/core/Thread.h"

#include "framework/core/Exception.h"
#include "framework/core/UiCallQueue.h"

#include "CoreTestSupport.h"

#include <QEventLoop>

#include <atomic>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {

// A worker whose body the test gives.
class LambdaThread : public Thread
{
public:
    explicit LambdaThread(std::function<void(LambdaThread &)> body) : m_body(std::move(body)) {}
    ~LambdaThread() override
    {
        Terminate();
        WaitFor();
    }
    using Thread::Terminated;

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

TEST(Thread, IsCreatedSuspendedAndRunsExecuteOnStart)
{
    std::atomic<int> runs{0};
    LambdaThread thread([&](LambdaThread &) { ++runs; });
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(thread.Finished());

    thread.Start();
    thread.WaitFor();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(thread.Finished());
    EXPECT_THROW(thread.Start(), std::logic_error);
}

TEST(Thread, NeverStartedThreadIsDestroyedAtOnce)
{
    DeadlockWatchdog watchdog(10s);
    bool ran = false;
    {
        LambdaThread thread([&](LambdaThread &) { ran = true; });
        thread.WaitFor();
    }
    EXPECT_FALSE(ran);
}

TEST(ThreadSynchronize, RunsOnTheUiThreadWhileTheCallerBlocks)
{
    std::atomic<bool> ranOnUiThread{false};
    std::atomic<bool> callerReturned{false};
    std::atomic<bool> callerSawTheResult{false};
    int result = 0; // written on the UI thread, read by the caller after Synchronize
    LambdaThread thread([&](LambdaThread &) {
        Thread::Synchronize([&] {
            ranOnUiThread = Application::instance().isUiThread();
            result = 42;
        });
        callerSawTheResult = result == 42;
        callerReturned = true;
    });
    thread.Start();
    waitForQueuedCall();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(callerReturned) << "the caller must wait until the UI thread has run fn";

    EXPECT_TRUE(pumpUntil([&] { return callerReturned.load(); }));
    EXPECT_TRUE(ranOnUiThread);
    EXPECT_TRUE(callerSawTheResult);
}

TEST(ThreadSynchronize, OnTheUiThreadCallsDirectly)
{
    bool ran = false;
    Thread::Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_THROW(Thread::Synchronize([] { throw Exception("direct"); }), Exception);
}

TEST(ThreadSynchronize, FailureIsReportedOnTheUiThreadAndTheWorkerGoesOn)
{
    ReportSink sink;
    std::atomic<int> passes{0};
    LambdaThread thread([&](LambdaThread &) {
        for (int i = 0; i < 3; ++i) {
            Thread::Synchronize([] { throw Exception("Unable to read from com port"); });
            ++passes;
        }
    });
    thread.Start();
    // No ProcessMessages runs: Qt's own loop dispatches the calls, so the guard reports.
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
    EXPECT_EQ(sink.messages(), std::vector<std::string>(3, "Unable to read from com port."));
}

TEST(ThreadSynchronize, FailureEndsTheRunningProcessMessagesAndTheWorkerGoesOn)
{
    ReportSink sink;
    std::atomic<bool> wentOn{false};
    LambdaThread thread([&](LambdaThread &) {
        Thread::Synchronize([] { throw Exception("reaction failed"); });
        wentOn = true;
    });
    thread.Start();
    waitForQueuedCall();
    EXPECT_THROW(Application::instance().ProcessMessages(), Exception);
    thread.WaitFor();
    EXPECT_TRUE(wentOn);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(Thread, FailureLeavingExecuteReachesTheUiThread)
{
    ReportSink sink;
    {
        LambdaThread thread([](LambdaThread &) { throw std::runtime_error("event thread died"); });
        thread.Start();
        EXPECT_THROW(pumpUntil([] { return false; }, 5000), std::runtime_error);
    }
    EXPECT_TRUE(sink.messages().empty());

    // Outside ProcessMessages the failure is reported: by a WaitFor that serves it (WaitFor
    // cannot throw), or else by Qt's own loop.
    LambdaThread thread([](LambdaThread &) { throw std::runtime_error("died again"); });
    thread.Start();
    thread.WaitFor();
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"died again."});
}

TEST(ThreadWaitFor, ServesAPendingSynchronizeCall)
{
    DeadlockWatchdog watchdog(20s);
    std::atomic<bool> ran{false};
    LambdaThread thread([&](LambdaThread &) { Thread::Synchronize([&] { ran = true; }); });
    thread.Start();
    waitForQueuedCall();
    // The UI thread never pumps: only WaitFor can run the call the thread waits for.
    thread.WaitFor();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(thread.Finished());
}

TEST(ThreadWaitFor, ReportsAFailingCallInsteadOfThrowing)
{
    ReportSink sink;
    LambdaThread thread([](LambdaThread &) { Thread::Synchronize([] { throw Exception("x"); }); });
    thread.Start();
    waitForQueuedCall();
    Application::Frame outer(Application::Frame::Capture); // as if inside ProcessMessages
    EXPECT_NO_THROW(thread.WaitFor());
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"x."});
    EXPECT_FALSE(outer.captured());
}

TEST(Thread, DestroyedWhileASynchronizeCallIsPendingEndsWithoutDeadlock)
{
    DeadlockWatchdog watchdog(20s);
    std::atomic<int> calls{0};
    auto thread = std::make_unique<LambdaThread>([&](LambdaThread &self) {
        while (!self.Terminated())
            Thread::Synchronize([&] { ++calls; });
    });
    thread->Start();
    waitForQueuedCall();
    QElapsedTimer clock;
    clock.start();
    thread.reset();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_GE(calls, 1);
}

TEST(ThreadWaitFor, CalledFromInsideTheThreadsOwnCallDoesNotDeadlock)
{
    DeadlockWatchdog watchdog(20s);
    std::atomic<bool> waited{false};
    std::unique_ptr<LambdaThread> thread;
    thread = std::make_unique<LambdaThread>([&](LambdaThread &) {
        Thread::Synchronize([&] {
            // Like a receive handler that closes the port: it stops and waits for the very
            // thread that waits for this routine.
            thread->Terminate();
            thread->WaitFor();
            waited = thread->Finished();
        });
    });
    thread->Start();
    EXPECT_TRUE(pumpUntil([&] { return waited.load(); }));
}
