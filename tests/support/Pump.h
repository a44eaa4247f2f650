// Waiting on the UI thread for a condition, three ways, each true when done() held by the
// limit: pumpEvents runs the Qt event loop, pumpMessages the framework's ProcessMessages, and
// waitFor pumps nothing. never() as the condition pumps or waits for the whole limit. The
// benchmarks use pumpEvents too (no test framework here: the tests make the application).
#pragma once

#include "framework/core/Application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

inline bool never()
{
    return false;
}

namespace pumpDetail {
inline bool loop(const std::function<bool()> &done, std::chrono::milliseconds limit,
                 const std::function<void()> &step)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limit.count())
            return false;
        step();
    }
    return true;
}
} // namespace pumpDetail

// Runs a real event loop, as the program's own, checking done() every 5 ms: what a handler
// raises is reported (the report sink of the test records it).
inline bool pumpEvents(const std::function<bool()> &done, std::chrono::milliseconds limit = 5s)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > limit.count())
            loop.quit();
    });
    check.start(5);
    if (!done())
        loop.exec();
    return done();
}

// As the exchange wait does, with the application's ProcessMessages: what a handler run inside
// raises comes back out of it, into thrown when given, else on to the caller.
inline bool pumpMessages(const std::function<bool()> &done, std::chrono::milliseconds limit = 5s,
                         std::vector<std::string> *thrown = nullptr)
{
    return pumpDetail::loop(done, limit, [&] {
        try {
            Application::instance().ProcessMessages();
            if (done())
                return;
            // A guard timer so that WaitMessage cannot sleep past the limit or miss a condition
            // that another thread makes true. Started only now: one that fired inside
            // ProcessMessages (a slow pass) would leave the wait nothing to wake it.
            QTimer guard;
            guard.setSingleShot(true);
            guard.start(5);
            Application::instance().WaitMessage();
        } catch (...) {
            if (!thrown)
                throw;
            thrown->push_back(Application::messageOf(std::current_exception()));
        }
    });
}

// For conditions that other threads make true.
inline bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = 5s)
{
    return pumpDetail::loop(done, limit, [] { QThread::msleep(1); });
}
