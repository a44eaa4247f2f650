// Shared by the core framework tests: a Qt core application for the whole test program, a
// reporter sink that records the messages HandleException shows, and pumping helpers.
#pragma once

#include "framework/core/Application.h"
#include "tests/support/ReportSink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CoreAppEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "framework_test";
    char *m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};

inline ::testing::Environment *const coreAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new CoreAppEnvironment);

// Pumps with ProcessMessages until done() or the time-out; true when done() held. Exceptions
// from ProcessMessages pass through.
inline bool pumpUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        // A guard timer so that WaitMessage cannot sleep past the time-out.
        QTimer guard;
        guard.setSingleShot(true);
        guard.start(20);
        Application::instance().ProcessMessages();
        if (!done())
            Application::instance().WaitMessage();
    }
    return true;
}

// Ends the test program with a message when its scope is not left in time: a deadlock on the
// UI thread cannot be detected from the UI thread itself.
class DeadlockWatchdog
{
public:
    explicit DeadlockWatchdog(std::chrono::seconds limit)
        : m_thread([this, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_left; })) {
                  std::fprintf(stderr, "deadlock: scope not left within %lld s\n",
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          })
    {}
    ~DeadlockWatchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_left = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_left = false;
    std::thread m_thread;
};
