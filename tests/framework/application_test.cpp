#include "framework/core/Application.h"
#include "framework/core/Exception.h"
#include "framework/core/HandlerGuard.h"
#include "framework/core/Thread.h"
#include "framework/core/UiCallQueue.h"

#include "CoreTestSupport.h"

#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>

#include <atomic>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

void later(std::function<void()> fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

class EventCounter : public QObject
{
public:
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++count;
        return true;
    }
    int count = 0;
};

std::string messageOfCall(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const std::exception &e) {
        return e.what();
    }
    return "<nothing thrown>";
}

} // namespace

TEST(ApplicationDisplayText, AppendsFullStopOnlyAfterBytesAboveFullStop)
{
    EXPECT_EQ(Application::displayText("Unable to open com port"), "Unable to open com port.");
    EXPECT_EQ(Application::displayText("code 5"), "code 5.");
    EXPECT_EQ(Application::displayText("what?"), "what?.");
    EXPECT_EQ(Application::displayText("a/"), "a/.");
    // Bytes of the upper half compare above "." when taken as unsigned.
    EXPECT_EQ(Application::displayText("caf\xE9"), "caf\xE9.");

    EXPECT_EQ(Application::displayText("Done."), "Done.");
    EXPECT_EQ(Application::displayText("Stop!"), "Stop!");
    EXPECT_EQ(Application::displayText("range 1-"), "range 1-");
    EXPECT_EQ(Application::displayText("(none)"), "(none)");
    EXPECT_EQ(Application::displayText(""), "");
}

TEST(ApplicationHandleException, ReportsTheMessageOfEachKindOfException)
{
    ReportSink sink;
    auto &app = Application::instance();
    app.HandleException(Exception("Unable to open com port"));
    app.HandleException(std::make_exception_ptr(std::runtime_error("bad value!")));
    app.HandleException(std::make_exception_ptr(42));
    app.HandleException(std::make_exception_ptr(Exception(std::string("nul\0byte", 8))));
    EXPECT_EQ(sink.messages(),
              (std::vector<std::string>{"Unable to open com port.", "bad value!",
                                        "Unknown exception.", std::string("nul\0byte.", 9)}));
}

TEST(ApplicationHandleException, FromAnotherThreadIsShownOnTheUiThread)
{
    ReportSink sink;
    std::thread worker(
        [] { Application::instance().HandleException(Exception("from the event thread")); });
    worker.join();
    EXPECT_TRUE(sink.messages().empty());
    // Reported, not thrown: the report is no handler failure.
    EXPECT_TRUE(pumpUntil([&] { return !sink.messages().empty(); }));
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"from the event thread."});
}

TEST(ApplicationProcessMessages, DispatchesPostedEventsQueuedCallsAndSynchronizeCalls)
{
    EventCounter receiver;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    int queued = 0;
    later([&] { ++queued; });
    std::atomic<bool> synchronized{false};
    std::thread worker([&] { Thread::Synchronize([&] { synchronized = true; }); });
    while (UiCallQueue::instance().empty())
        std::this_thread::sleep_for(1ms);

    EXPECT_EQ(receiver.count, 0);
    Application::instance().ProcessMessages();
    EXPECT_EQ(receiver.count, 1);
    EXPECT_EQ(queued, 1);
    EXPECT_TRUE(synchronized);
    worker.join();
}

TEST(ApplicationHandlerGuard, ReportsAtTheOutermostLevel)
{
    ReportSink sink;
    EXPECT_FALSE(runGuarded([] { throw Exception("Cannot set property while connected"); }));
    EXPECT_TRUE(runGuarded([] {}));
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"Cannot set property while connected."});

    // Qt's own loop runs no ProcessMessages frame: a failing handler there is reported too.
    later(guarded([] { throw Exception("in the event loop"); }));
    QEventLoop loop;
    later([&] { loop.quit(); });
    loop.exec();
    EXPECT_EQ(sink.messages().back(), "in the event loop.");
}

TEST(ApplicationHandlerGuard, InsideProcessMessagesRethrowsAfterTheDispatch)
{
    ReportSink sink;
    bool laterHandlerRan = false;
    later(guarded([] { throw Exception("first"); }));
    later(guarded([] { throw Exception("second"); }));
    later([&] { laterHandlerRan = true; });

    EXPECT_EQ(messageOfCall([] { Application::instance().ProcessMessages(); }), "first");
    // The first failure is re-thrown; one that follows in the same pass is reported.
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"second."});
    EXPECT_TRUE(laterHandlerRan);
    // The frame is gone: a failure now is reported at once.
    runGuarded([] { throw Exception("outside"); });
    EXPECT_EQ(sink.messages().back(), "outside.");
}

TEST(ApplicationHandlerGuard, FailureClimbsOutOfNestedProcessMessages)
{
    ReportSink sink;
    bool procedureWentOn = false;
    // A handler that waits like the exchange wait: its inner pass re-throws into it, its own
    // guard captures again, and the outer ProcessMessages re-throws to its caller.
    later(guarded([&] {
        later(guarded([] { throw Exception("Connect failed"); }));
        Application::instance().ProcessMessages();
        procedureWentOn = true;
    }));
    EXPECT_EQ(messageOfCall([] { Application::instance().ProcessMessages(); }), "Connect failed");
    EXPECT_FALSE(procedureWentOn);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(ApplicationHandlerGuard, FailureOnAnotherThreadIsRethrownByTheRunningProcessMessages)
{
    ReportSink sink;
    std::thread worker([] { runGuarded([] { throw Exception("reaction failed"); }); });
    worker.join();
    EXPECT_EQ(messageOfCall([] { pumpUntil([] { return false; }, 2000); }), "reaction failed");
    EXPECT_TRUE(sink.messages().empty());
}

TEST(ApplicationWaitMessage, SleepsUntilASynchronizeCallArrives)
{
    DeadlockWatchdog watchdog(30s);
    std::atomic<bool> ran{false};
    std::thread worker([&] {
        std::this_thread::sleep_for(300ms);
        Thread::Synchronize([&] { ran = true; });
    });
    // Only a far guard timer besides: WaitMessage must wake for the call itself.
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(10000);
    QElapsedTimer clock;
    clock.start();
    auto &app = Application::instance();
    while (!ran && clock.elapsed() < 10000) {
        app.WaitMessage();
        app.ProcessMessages();
    }
    const auto elapsed = clock.elapsed();
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 5000);
}

TEST(ApplicationWaitMessage, ReturnsAtOnceWhenACallIsWaiting)
{
    std::thread worker([] { Thread::Synchronize([] {}); });
    while (UiCallQueue::instance().empty())
        std::this_thread::sleep_for(1ms);
    QElapsedTimer clock;
    clock.start();
    Application::instance().WaitMessage();
    EXPECT_LT(clock.elapsed(), 1000);
    Application::instance().ProcessMessages();
    worker.join();
}
