// The one loop by which every layer's tests wait on the UI thread for a condition: pump the
// thread's messages (or only wait) until done() holds or the limit has passed.
#pragma once

#include "framework/core/Application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

enum class Pumping {
    // As the program's own event loop runs handlers: what one raises is reported (the report
    // sink of the test records it).
    EventLoop,
    // As the exchange wait does, with the application's ProcessMessages: what a handler run
    // inside raises comes back out of it, into thrown when given, else on to the caller.
    ProcessMessages,
    // Nothing is pumped: for conditions that other threads make true.
    None,
};

// True when done() held before the limit.
inline bool pumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit,
                      Pumping how, std::vector<std::string> *thrown = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limit.count())
            return false;
        switch (how) {
        case Pumping::EventLoop:
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
            break;
        case Pumping::ProcessMessages:
            try {
                // A guard timer so that WaitMessage cannot sleep past the limit or miss a
                // condition that another thread makes true.
                QTimer guard;
                guard.setSingleShot(true);
                guard.start(5);
                Application::instance().ProcessMessages();
                if (!done())
                    Application::instance().WaitMessage();
            } catch (...) {
                if (!thrown)
                    throw;
                thrown->push_back(Application::messageOf(std::current_exception()));
            }
            break;
        case Pumping::None:
            QThread::msleep(1);
            break;
        }
    }
    return true;
}
