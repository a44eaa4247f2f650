// Ends the test program when a scope is not left in time, naming the test: a test that hangs
// (a procedure that never ends, a deadlock on the UI thread, which the UI thread itself cannot
// detect) shows up as a failure instead of a silent hang. Its own thread waits for the limit.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class Watchdog
{
public:
    explicit Watchdog(std::chrono::seconds limit)
        : m_name(currentTestName()), m_thread([this, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_left; })) {
                  std::fprintf(stderr, "%s did not finish within %lld s\n", m_name.c_str(),
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          })
    {}
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_left = true;
        }
        m_done.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    static std::string currentTestName()
    {
        const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
        return test ? test->name() : "a scope";
    }

    std::string m_name;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_left = false;
    std::thread m_thread;
};
