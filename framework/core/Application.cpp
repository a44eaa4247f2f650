#include "framework/core/Application.h"

#include "framework/core/EventLoop.h"
#include "framework/core/Exception.h"
#include "framework/core/HandlerGuard.h"
#include "framework/core/UiCallQueue.h"

#include <cstdio>
#include <stdexcept>

namespace {

void reportToStderr(const std::string &message, const std::string &advice)
{
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fputc('\n', stderr);
    if (!advice.empty()) {
        std::fwrite(advice.data(), 1, advice.size(), stderr);
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

// Hands an exception to the UI thread, where it is routed as if a handler there had thrown it.
void forwardToUiThread(std::exception_ptr error)
{
    auto call = std::make_shared<UiCall>();
    call->sender = std::this_thread::get_id();
    // Moved, not copied: the sending thread keeps no share of the exception object.
    call->run = [error = std::move(error)]() -> LRESULT { std::rethrow_exception(error); };
    UiCallQueue::instance().post(std::move(call));
}

// The application as the call queue's host: its handler guard and its dispatch frames.
class QueueHost final : public UiCallQueue::Host
{
public:
    void runGuarded(const std::function<void()> &call) noexcept override { ::runGuarded(call); }
    bool dispatchInterrupted() const override
    {
        return Application::instance().dispatchInterrupted();
    }
};

// Made at start, on the main thread: the queue has its host before any call can run.
const bool g_applicationMade = (Application::instance(), true);

} // namespace

Application &Application::instance()
{
    static Application application;
    return application;
}

Application::Application()
{
    static QueueHost host;
    UiCallQueue::instance().setHost(host);
}

bool Application::isUiThread() const
{
    return EventLoop::current().isUiThread();
}

void Application::ProcessMessages()
{
    if (!isUiThread())
        return;
    std::exception_ptr error;
    {
        Frame frame(Frame::Capture);
        UiCallQueue::instance().drain();
        // A failed call ends the pass: what is still waiting runs at the next one.
        if (!frame.captured())
            EventLoop::current().processEvents();
        error = frame.captured();
    }
    if (error)
        std::rethrow_exception(error);
}

void Application::WaitMessage()
{
    // After the quit a wait could never sleep: the quit message stays waiting for the outer loop.
    if (!isUiThread() || EventLoop::quitRecorded() || !UiCallQueue::instance().empty())
        return;
    std::exception_ptr error;
    {
        Frame frame(Frame::Capture);
        // Every push to the call queue wakes the event loop, so this also wakes for calls.
        EventLoop::current().waitForEvents();
        error = frame.captured();
    }
    if (error)
        std::rethrow_exception(error);
}

bool Application::quitRequested() const
{
    return EventLoop::quitRecorded();
}

std::string Application::displayText(std::string message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += '.';
    return message;
}

std::string Application::messageOf(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception &e) {
        return e.message();
    } catch (const std::exception &e) {
        return e.what();
    } catch (...) {
        return "Unknown exception";
    }
}

std::string Application::adviceOf(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception &e) {
        return e.advice();
    } catch (...) {
        return {};
    }
}

void Application::HandleException(std::exception_ptr error) noexcept
{
    if (!error)
        return;
    try {
        if (!isUiThread()) {
            // Only the texts cross to the UI thread: the exception object stays with the thread
            // that raised it and ends there.
            auto call = std::make_shared<UiCall>();
            call->sender = std::this_thread::get_id();
            call->run = [message = displayText(messageOf(error)),
                         advice = adviceOf(error)]() -> LRESULT {
                Application::instance().report(message, advice);
                return 0;
            };
            UiCallQueue::instance().post(std::move(call));
            return;
        }
        report(displayText(messageOf(error)), adviceOf(error));
    } catch (...) {
        // Out of memory while reporting: nothing sensible is left to do.
    }
}

void Application::HandleException(const std::exception &error) noexcept
{
    try {
        if (const auto *own = dynamic_cast<const Exception *>(&error))
            HandleException(std::make_exception_ptr(Exception(own->message(), own->advice())));
        else
            HandleException(std::make_exception_ptr(std::runtime_error(error.what())));
    } catch (...) {
    }
}

Application::ExceptionReporter Application::setExceptionReporter(ExceptionReporter reporter)
{
    std::lock_guard lock(m_reporterMutex);
    std::swap(m_reporter, reporter);
    return reporter;
}

void Application::report(const std::string &message, const std::string &advice) noexcept
{
    ExceptionReporter reporter;
    {
        std::lock_guard lock(m_reporterMutex);
        reporter = m_reporter;
    }
    try {
        if (reporter)
            reporter(message, advice);
        else
            reportToStderr(message, advice);
    } catch (...) {
        reportToStderr(message, advice);
    }
}

void Application::routeException(std::exception_ptr error) noexcept
{
    if (!error)
        return;
    try {
        if (!isUiThread()) {
            forwardToUiThread(std::move(error));
            return;
        }
        if (!m_frames.empty() && m_frames.back()->m_mode == Frame::Capture &&
            !m_frames.back()->m_captured) {
            m_frames.back()->m_captured = error;
            return;
        }
        HandleException(error);
    } catch (...) {
    }
}

bool Application::dispatchInterrupted() const
{
    return !m_frames.empty() && m_frames.back()->m_captured != nullptr;
}

Application::Frame::Frame(Mode mode) : m_mode(mode)
{
    Application::instance().m_frames.push_back(this);
}

Application::Frame::~Frame()
{
    auto &frames = Application::instance().m_frames;
    if (!frames.empty() && frames.back() == this)
        frames.pop_back();
}
