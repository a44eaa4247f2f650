// The application object: one per program, over the UI thread's event loop (EventLoop: the
// window toolkit's, or the plain one of a program without a window). Owns the rules for exceptions
// that leave handlers:
// - ProcessMessages / WaitMessage pump the UI thread's events, the synchronize calls and the
//   messages other threads send to message windows.
// - HandleException is the program's global exception report: it hands the message, with the
//   "." rule applied, and the exception's advice line to the installed reporter (stderr by
//   default; the window layer installs the modal error box, tests a sink that records).
// - routeException decides where an exception caught by the handler guard goes: captured by
//   the innermost running ProcessMessages (which re-throws it to its caller), or reported.
// The pumping calls and the reporter run on the UI thread (the event loop's thread);
// HandleException and routeException may be called from any thread.
#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class Application
{
public:
    // Shows one finished message to the user, with the advice line under it when that is not
    // empty. Runs on the UI thread; must not throw.
    using ExceptionReporter =
        std::function<void(const std::string &message, const std::string &advice)>;

    static Application &instance();

    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    bool isUiThread() const;

    // UI thread: dispatches everything that is waiting (toolkit events, posted and timer events
    // included, synchronize calls, sent messages) and returns. An exception that a handler let
    // out during the dispatch is re-thrown here, after the dispatch; when several handlers
    // fail in one pass, the first is re-thrown and the others are reported at once. Called
    // from another thread it does nothing.
    void ProcessMessages();

    // UI thread: sleeps until an event, a synchronize call or a sent message arrives, and
    // dispatches what woke it (same exception rule as ProcessMessages). Returns at once when
    // a call is already waiting. A loop "ProcessMessages, test, WaitMessage" therefore never
    // spins. It sleeps for good when nothing ever arrives: keep a timer running. After the
    // program's quit it returns at once: a wait tests quitRequested and ends.
    void WaitMessage();

    // True once the program's message loop is ending (its last window closed): every nested
    // wait ends, whatever it waits for.
    bool quitRequested() const;

    // The global exception report. On the UI thread it calls the reporter before returning;
    // from another thread it queues the report to the UI thread and returns.
    void HandleException(std::exception_ptr error) noexcept;
    void HandleException(const std::exception &error) noexcept;

    // Installs the reporter (an empty one restores stderr) and returns the previous one.
    ExceptionReporter setExceptionReporter(ExceptionReporter reporter);

    // The text the user sees: the message, plus "." when its last byte comes after "." in
    // unsigned byte order.
    static std::string displayText(std::string message);
    // The message of an exception: Exception::message(), else what().
    static std::string messageOf(std::exception_ptr error);
    // The advice of an exception: Exception::advice(), else empty.
    static std::string adviceOf(std::exception_ptr error);

    // Where the handler guard sends an exception. On the UI thread: captured by the innermost
    // capturing frame if it holds none yet, else reported. From another thread: handed to the
    // UI thread, where the same rule applies when it is dispatched.
    void routeException(std::exception_ptr error) noexcept;

    // A dispatch frame: ProcessMessages and WaitMessage open a capturing one; Thread::WaitFor
    // a reporting one, because it cannot throw (it runs in destructors). UI thread only.
    class Frame
    {
    public:
        enum Mode { Capture, Report };
        explicit Frame(Mode mode);
        ~Frame();
        Frame(const Frame &) = delete;
        Frame &operator=(const Frame &) = delete;

        std::exception_ptr captured() const { return m_captured; }

    private:
        friend class Application;
        Mode m_mode;
        std::exception_ptr m_captured;
    };

    // UI thread: true when the innermost frame has captured an exception, so that a dispatch
    // in progress stops taking further synchronize calls and messages.
    bool dispatchInterrupted() const;

private:
    Application();
    void report(const std::string &message, const std::string &advice) noexcept;

    std::vector<Frame *> m_frames; // UI thread only
    mutable std::mutex m_reporterMutex;
    ExceptionReporter m_reporter;
};
