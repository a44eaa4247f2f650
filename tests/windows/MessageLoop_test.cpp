// Message windows and the plain event loop on the system's own user32.
#include "framework/core/Application.h"
#include "framework/core/EventLoop.h"
#include "framework/core/Exception.h"
#include "framework/core/Thread.h"
#include "framework/core/user32.h"

#include "tests/support/Watchdog.h"

namespace {

class Worker : public Thread
{
public:
    explicit Worker(std::function<void()> body) : m_body(std::move(body)) { Start(); }
    ~Worker() override { WaitFor(); }

protected:
    void Execute() override { m_body(); }
    std::function<void()> m_body;
};

} // namespace

TEST(MessageWindow, ASendFromAnotherThreadRunsOnTheUiThreadWhileWaitForWaits)
{
    Watchdog watchdog(std::chrono::seconds(60));
    bool asSentToTheUiThread = false;
    const HWND window = allocateMessageWindow([&](UINT, WPARAM wParam, LPARAM) -> LRESULT {
        asSentToTheUiThread = Application::instance().isUiThread() && InSendMessage();
        return LRESULT(wParam * 2);
    });
    std::atomic<LRESULT> result{0};
    Worker sender([&] { result = SendMessageA(window, WM_USER + 1, 21, 0); });
    sender.WaitFor();
    deallocateMessageWindow(window);
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(asSentToTheUiThread);
}

TEST(MessageWindow, AProcedureMayDestroyItsOwnWindowAndAnExceptionGivesZero)
{
    std::string reported, seen;
    auto previous = Application::instance().setExceptionReporter(
        [&](const std::string &message, const std::string &) { reported += message; });
    HWND window = nullptr;
    window = allocateMessageWindow(
        [&, text = std::string(64, 'x')](UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message == WM_USER + 2)
                throw Exception("The procedure failed");
            deallocateMessageWindow(window);
            seen = text; // the captures outlive the window
            return 7;
        });
    EXPECT_EQ(SendMessageA(window, WM_USER + 2, 0, 0), 0);
    EXPECT_EQ(reported, "The procedure failed.");
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 7);
    EXPECT_EQ(seen, std::string(64, 'x'));
    EXPECT_FALSE(IsWindow(window));
    Application::instance().setExceptionReporter(previous);
}

TEST(EventLoop, ALoopOfItsOwnServesSynchronizeCalls)
{
    // A message box or a menu runs such a loop: the call queue's wake-up reaches it.
    Watchdog watchdog(std::chrono::seconds(60));
    bool ran = false;
    Worker worker([&] {
        Thread::Synchronize([&] {
            ran = Application::instance().isUiThread();
            PostQuitMessage(0);
        });
    });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    EXPECT_TRUE(ran);
}

TEST(EventLoop, AQuitBehindAWakeUpEndsTheLoopAndIsRecorded)
{
    // The window closed while a wake-up was waiting: serving the wake-up, whose peeks for paints
    // and timers also meet the quit, must leave the quit for the loop.
    Watchdog watchdog(std::chrono::seconds(60));
    ASSERT_TRUE(EventLoop::current().wake());
    PostQuitMessage(3);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_TRUE(EventLoop::quitRecorded());
    EventLoop::forgetQuit();
}
