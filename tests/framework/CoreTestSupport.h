// Shared by the core framework tests: a Qt core application for the whole test program, a
// reporter sink that records the messages HandleException shows, and pumping helpers.
#pragma once

#include "framework/core/Application.h"
#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"
#include "tests/support/Watchdog.h"

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
    return pumpUntil(done, std::chrono::milliseconds(timeoutMs), Pumping::ProcessMessages);
}
