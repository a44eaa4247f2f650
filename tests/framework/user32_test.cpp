#include "framework/core/user32.h"

#include "framework/core/Exception.h"
#include "framework/core/Thread.h"
#include "framework/core/UiCallQueue.h"

#include "CoreTestSupport.h"

#include <atomic>

using namespace std::chrono_literals;

namespace {

constexpr UINT PortEvent = WM_USER + 1;

// A message window for one test, destroyed with it.
class Window
{
public:
    explicit Window(MessageWindowProc proc) : m_handle(allocateMessageWindow(std::move(proc))) {}
    ~Window() { destroy(); }
    void destroy()
    {
        if (m_handle)
            deallocateMessageWindow(std::exchange(m_handle, nullptr));
    }
    HWND handle() const { return m_handle; }

private:
    HWND m_handle;
};

struct Received
{
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool onUiThread = false;
    bool inSend = false;
};

void waitForQueuedCall()
{
    while (UiCallQueue::instance().empty())
        std::this_thread::sleep_for(1ms);
}

class SendingThread : public Thread
{
public:
    SendingThread(HWND window, WPARAM code) : m_window(window), m_code(code) {}
    ~SendingThread() override { WaitFor(); }
    std::atomic<LRESULT> result{-1};

protected:
    void Execute() override { result = SendMessageA(m_window, PortEvent, m_code, 0); }

private:
    HWND m_window;
    WPARAM m_code;
};

} // namespace

TEST(SendMessage, FromTheUiThreadCallsTheProcedureDirectly)
{
    Received got;
    Window window([&](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        got = {message, wParam, lParam, Application::instance().isUiThread(),
               bool(InSendMessage())};
        return 77;
    });
    EXPECT_EQ(SendMessageA(window.handle(), PortEvent, 256, 9), 77);
    EXPECT_EQ(got.message, PortEvent);
    EXPECT_EQ(got.wParam, 256u);
    EXPECT_EQ(got.lParam, 9);
    EXPECT_FALSE(got.inSend);
    EXPECT_FALSE(InSendMessage());
    EXPECT_FALSE(ReplyMessage(0));
    EXPECT_EQ(DefWindowProcA(window.handle(), 15, 1, 2), 0);
}

TEST(SendMessage, FromAnotherThreadWaitsUntilTheUiThreadHasRunTheProcedure)
{
    Received got;
    Window window([&](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        got = {message, wParam, lParam, Application::instance().isUiThread(),
               bool(InSendMessage())};
        return 5;
    });
    SendingThread sender(window.handle(), 4);
    sender.Start();
    waitForQueuedCall();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(sender.Finished()) << "the sender must block until the UI thread dispatches";

    EXPECT_TRUE(pumpUntil([&] { return sender.Finished(); }));
    EXPECT_EQ(sender.result, 5);
    EXPECT_EQ(got.message, PortEvent);
    EXPECT_EQ(got.wParam, 4u);
    EXPECT_TRUE(got.onUiThread);
    EXPECT_TRUE(got.inSend);
    EXPECT_FALSE(InSendMessage());
}

TEST(SendMessage, ReplyMessageReleasesTheSenderBeforeTheProcedureEnds)
{
    std::unique_ptr<SendingThread> sender;
    bool senderWentOnDuringProcedure = false;
    BOOL firstReply = FALSE, secondReply = TRUE, stillInSend = FALSE;
    Window window([&](UINT, WPARAM, LPARAM) -> LRESULT {
        firstReply = ReplyMessage(123);
        secondReply = ReplyMessage(456);
        stillInSend = InSendMessage();
        QElapsedTimer clock;
        clock.start();
        while (!sender->Finished() && clock.elapsed() < 5000)
            std::this_thread::sleep_for(1ms);
        senderWentOnDuringProcedure = sender->Finished();
        return 999;
    });
    sender = std::make_unique<SendingThread>(window.handle(), 1);
    sender->Start();
    EXPECT_TRUE(pumpUntil([&] { return sender->Finished(); }));
    EXPECT_TRUE(senderWentOnDuringProcedure);
    EXPECT_TRUE(firstReply);
    EXPECT_FALSE(secondReply);
    EXPECT_TRUE(stillInSend);
    EXPECT_EQ(sender->result, 123);
}

TEST(SendMessage, ToADestroyedWindowReturnsZeroAtOnce)
{
    bool called = false;
    Window window([&](UINT, WPARAM, LPARAM) -> LRESULT {
        called = true;
        return 1;
    });
    const HWND stale = window.handle();
    window.destroy();
    EXPECT_EQ(SendMessageA(stale, PortEvent, 1, 0), 0);

    DeadlockWatchdog watchdog(20s);
    SendingThread sender(stale, 1);
    sender.Start();
    sender.WaitFor();
    EXPECT_EQ(sender.result, 0);
    EXPECT_FALSE(called);

    // A new window never gets the old handle.
    Window other([](UINT, WPARAM, LPARAM) -> LRESULT { return 1; });
    EXPECT_NE(other.handle(), stale);
}

TEST(SendMessage, PendingSendIsReleasedWhenItsWindowIsDestroyed)
{
    DeadlockWatchdog watchdog(20s);
    bool called = false;
    Window window([&](UINT, WPARAM, LPARAM) -> LRESULT {
        called = true;
        return 1;
    });
    SendingThread sender(window.handle(), 1);
    sender.Start();
    waitForQueuedCall();
    window.destroy();
    // Released without the UI thread pumping.
    while (!sender.Finished())
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(sender.result, 0);
    Application::instance().ProcessMessages();
    EXPECT_FALSE(called);
}

TEST(SendMessage, WaitForServesAPendingSend)
{
    DeadlockWatchdog watchdog(20s);
    int calls = 0;
    Window window([&](UINT, WPARAM wParam, LPARAM) -> LRESULT {
        ++calls;
        return LRESULT(wParam);
    });
    SendingThread sender(window.handle(), 32);
    sender.Start();
    waitForQueuedCall();
    sender.WaitFor();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(sender.result, 32);
}

TEST(SendMessage, WaitMessageWakesForASentMessage)
{
    DeadlockWatchdog watchdog(30s);
    bool called = false;
    Window window([&](UINT, WPARAM, LPARAM) -> LRESULT {
        called = true;
        return 1;
    });
    std::thread worker([&] {
        std::this_thread::sleep_for(300ms);
        SendMessageA(window.handle(), PortEvent, 1, 0);
    });
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(10000);
    QElapsedTimer clock;
    clock.start();
    while (!called && clock.elapsed() < 10000)
        Application::instance().WaitMessage();
    const auto elapsed = clock.elapsed();
    worker.join();
    EXPECT_TRUE(called);
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 5000);
}

TEST(SendMessage, FailingProcedureGivesZeroAndTheFailureGoesToTheUiThread)
{
    Window window([](UINT, WPARAM, LPARAM) -> LRESULT { throw Exception("Line error"); });
    SendingThread sender(window.handle(), 128);
    sender.Start();
    waitForQueuedCall();
    EXPECT_THROW(Application::instance().ProcessMessages(), Exception);
    sender.WaitFor();
    EXPECT_EQ(sender.result, 0);
}
