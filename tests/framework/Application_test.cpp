#include "framework/core/Application.h"
#include "framework/core/Exception.h"
#include "framework/core/HandlerGuard.h"
#include "framework/core/Thread.h"
#include "framework/core/UiCallQueue.h"

#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"
#include "tests/support/Watchdog.h"

#include <QEventLoop>

#include <atomic>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

void later(std::function<void()> fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

std::string thrownBy(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const std::exception &e) {
        return e.what();
    }
    return "<nothing thrown>";
}

void runQtLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

TEST(Application, AppendsFullStopOnlyAfterALastByteAboveFullStop)
{
    for (const char *text : {"Unable to open com port", "code 5", "what?", "a/", "caf\xE9"})
        EXPECT_EQ(Application::displayText(text), std::string(text) + ".") << text;
    for (const char *text : {"Done.", "Stop!", "range 1-", "(none)", ""})
        EXPECT_EQ(Application::displayText(text), text) << text;
}

TEST(Application, ReportsTheMessageOfEveryKindOfException)
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

TEST(Application, ReportsTheAdviceBesideTheMessageAndNeverInIt)
{
    ReportSink sink;
    auto &app = Application::instance();
    class Derived : public Exception
    {
    public:
        Derived() : Exception("Unable to open com port (win error code: 5)", "Close it there.") {}
    };
    app.HandleException(std::make_exception_ptr(Derived()));
    app.HandleException(Derived()); // by reference: copied as the base, advice included
    app.HandleException(std::make_exception_ptr(std::runtime_error("no advice")));
    // Raised on another thread, reported on this one.
    std::thread([&] {
        app.HandleException(std::make_exception_ptr(Exception("late", "Wait.")));
    }).join();
    app.ProcessMessages();
    EXPECT_EQ(sink.messages(),
              (std::vector<std::string>{"Unable to open com port (win error code: 5)",
                                        "Unable to open com port (win error code: 5)", "no advice.",
                                        "late."}));
    EXPECT_EQ(sink.advice(),
              (std::vector<std::string>{"Close it there.", "Close it there.", "", "Wait."}));
}

TEST(Application, ProcessMessagesDispatchesPostedEventsAndSynchronizeCalls)
{
    int queued = 0;
    later([&] { ++queued; });
    std::atomic<bool> synchronized{false};
    std::thread worker([&] { Thread::Synchronize([&] { synchronized = true; }); });
    while (UiCallQueue::instance().empty())
        std::this_thread::sleep_for(1ms);

    Application::instance().ProcessMessages();
    EXPECT_EQ(queued, 1);
    EXPECT_TRUE(synchronized);
    worker.join();
}

TEST(HandlerGuard, ReportsAtTheOutermostLevel)
{
    ReportSink sink;
    EXPECT_FALSE(runGuarded([] { throw Exception("Cannot set property while connected"); }));
    EXPECT_TRUE(runGuarded([] {}));
    // Qt's own loop opens no dispatch frame: a handler failing there is reported too.
    later(guarded([] { throw Exception("in the event loop"); }));
    runQtLoop(50);
    EXPECT_EQ(sink.messages(), (std::vector<std::string>{"Cannot set property while connected.",
                                                         "in the event loop."}));
}

TEST(HandlerGuard, InsideProcessMessagesTheFirstFailureIsRethrownAndLaterOnesReported)
{
    ReportSink sink;
    bool laterHandlerRan = false;
    later(guarded([] { throw Exception("first"); }));
    later(guarded([] { throw Exception("second"); }));
    later([&] { laterHandlerRan = true; });

    EXPECT_EQ(thrownBy([] { Application::instance().ProcessMessages(); }), "first");
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"second."});
    EXPECT_TRUE(laterHandlerRan);
    runGuarded([] { throw Exception("outside"); });
    EXPECT_EQ(sink.messages().back(), "outside.");
}

TEST(HandlerGuard, FailureClimbsOutOfNestedProcessMessages)
{
    ReportSink sink;
    bool procedureWentOn = false;
    // A handler that waits like the exchange wait: the inner pass re-throws into it, its own
    // guard captures again, and the outer ProcessMessages re-throws to its caller.
    later(guarded([&] {
        later(guarded([] { throw Exception("Connect failed"); }));
        Application::instance().ProcessMessages();
        procedureWentOn = true;
    }));
    EXPECT_EQ(thrownBy([] { Application::instance().ProcessMessages(); }), "Connect failed");
    EXPECT_FALSE(procedureWentOn);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(HandlerGuard, FailureOnAnotherThreadReachesTheUiThread)
{
    ReportSink sink;
    std::thread([] { runGuarded([] { throw Exception("reaction failed"); }); }).join();
    std::thread([] { Application::instance().HandleException(Exception("reported")); }).join();
    EXPECT_TRUE(sink.messages().empty());
    // The guard's failure ends the running ProcessMessages; the explicit report is shown.
    EXPECT_EQ(thrownBy([] { pumpMessages([] { return false; }, 2s); }), "reaction failed");
    pumpMessages([&] { return !sink.messages().empty(); }, 2s);
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"reported."});
}

TEST(Application, WaitMessageSleepsUntilASynchronizeCallArrives)
{
    Watchdog watchdog(30s);
    std::atomic<bool> ran{false};
    std::thread worker([&] {
        std::this_thread::sleep_for(300ms);
        Thread::Synchronize([&] { ran = true; });
    });
    QTimer farGuard; // nothing else would wake it if the call did not
    farGuard.start(10000);
    QElapsedTimer clock;
    clock.start();
    while (!ran && clock.elapsed() < 10000) {
        Application::instance().WaitMessage();
        Application::instance().ProcessMessages();
    }
    const auto elapsed = clock.elapsed();
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 5000);
}
