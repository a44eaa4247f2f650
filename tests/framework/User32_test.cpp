#include "framework/core/user32.h"

#include "framework/core/Exception.h"
#include "framework/core/Thread.h"
#include "framework/core/UiCallQueue.h"

#include "tests/support/Pump.h"
#include "tests/support/TestApplication.h"
#include "tests/support/Watchdog.h"

#include <atomic>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr UINT PortEvent = WM_USER + 1;

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
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool onUiThread = false;
    bool inSend = false;
};

class SendingThread : public Thread
{
public:
    SendingThread(HWND window, WPARAM code) : m_window(window), m_code(code) { Start(); }
    ~SendingThread() override { WaitFor(); }
    std::atomic<LRESULT> result{-1};

protected:
    void Execute() override { result = SendMessageA(m_window, PortEvent, m_code, 0); }

private:
    HWND m_window;
    WPARAM m_code;
};

void waitForQueuedCall()
{
    while (UiCallQueue::instance().empty())
        std::this_thread::sleep_for(1ms);
}

} // namespace

TEST(SendMessage, FromTheUiThreadCallsTheProcedureDirectly)
{
    Received got;
    Window window([&](UINT, WPARAM wParam, LPARAM lParam) -> LRESULT {
        got = {wParam, lParam, Application::instance().isUiThread(), bool(InSendMessage())};
        return 77;
    });
    EXPECT_EQ(SendMessageA(window.handle(), PortEvent, 256, 9), 77);
    EXPECT_EQ(got.wParam, 256u);
    EXPECT_EQ(got.lParam, 9);
    EXPECT_FALSE(got.inSend);
    EXPECT_FALSE(ReplyMessage(0));
}

TEST(SendMessage, FromAnotherThreadWaitsUntilTheUiThreadHasRunTheProcedure)
{
    Received got;
    Window window([&](UINT, WPARAM wParam, LPARAM lParam) -> LRESULT {
        got = {wParam, lParam, Application::instance().isUiThread(), bool(InSendMessage())};
        return 5;
    });
    SendingThread sender(window.handle(), 4);
    waitForQueuedCall();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(sender.Finished()) << "the sender must block until the UI thread dispatches";

    EXPECT_TRUE(pumpMessages([&] { return sender.Finished(); }));
    EXPECT_EQ(sender.result, 5);
    EXPECT_EQ(got.wParam, 4u);
    EXPECT_TRUE(got.onUiThread);
    EXPECT_TRUE(got.inSend);
    EXPECT_FALSE(InSendMessage());
}

TEST(SendMessage, ReplyMessageReleasesTheSenderBeforeTheProcedureEnds)
{
    std::unique_ptr<SendingThread> sender;
    bool senderWentOnDuringProcedure = false;
    BOOL firstReply = FALSE, secondReply = TRUE;
    Window window([&](UINT, WPARAM, LPARAM) -> LRESULT {
        firstReply = ReplyMessage(123);
        secondReply = ReplyMessage(456);
        QElapsedTimer clock;
        clock.start();
        while (!sender->Finished() && clock.elapsed() < 5000)
            std::this_thread::sleep_for(1ms);
        senderWentOnDuringProcedure = sender->Finished();
        return 999;
    });
    sender = std::make_unique<SendingThread>(window.handle(), 1);
    EXPECT_TRUE(pumpMessages([&] { return sender->Finished(); }));
    EXPECT_TRUE(senderWentOnDuringProcedure);
    EXPECT_TRUE(firstReply);
    EXPECT_FALSE(secondReply);
    EXPECT_EQ(sender->result, 123);
}

TEST(SendMessage, ToADestroyedWindowReturnsZeroAndAPendingSendIsReleased)
{
    Watchdog watchdog(20s);
    bool called = false;
    Window window([&](UINT, WPARAM, LPARAM) -> LRESULT {
        called = true;
        return 1;
    });
    const HWND handle = window.handle();
    {
        SendingThread pending(handle, 1);
        waitForQueuedCall();
        window.destroy();
        pending.WaitFor();
        EXPECT_EQ(pending.result, 0);
    }
    EXPECT_EQ(SendMessageA(handle, PortEvent, 1, 0), 0);
    SendingThread late(handle, 1);
    late.WaitFor();
    EXPECT_EQ(late.result, 0);
    Application::instance().ProcessMessages();
    EXPECT_FALSE(called);
    Window other([](UINT, WPARAM, LPARAM) -> LRESULT { return 1; });
    EXPECT_NE(other.handle(), handle) << "a stale handle must never reach a new window";
}

TEST(SendMessage, WaitForServesAPendingSend)
{
    Watchdog watchdog(20s);
    Window window([&](UINT, WPARAM wParam, LPARAM) -> LRESULT { return LRESULT(wParam); });
    SendingThread sender(window.handle(), 32);
    waitForQueuedCall();
    sender.WaitFor();
    EXPECT_EQ(sender.result, 32);
}

TEST(SendMessage, WakesASleepingWaitMessage)
{
    Watchdog watchdog(30s);
    bool called = false;
    Window window([&](UINT, WPARAM, LPARAM) -> LRESULT {
        called = true;
        return 1;
    });
    std::thread worker([&] {
        std::this_thread::sleep_for(300ms);
        SendMessageA(window.handle(), PortEvent, 1, 0);
    });
    QTimer farGuard;
    farGuard.start(10000);
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
