// Shared by the window tests: a Qt application (offscreen) for the whole test program, a sink
// that records what the error box would show, one main window per test, and pumping helpers.
// Everything runs on the test's main thread, which is the UI thread.
#pragma once

#include "app/MainForm.h"
#include "framework/core/Application.h"
#include "tests/support/ReportSink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class WindowAppEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "window_test";
    char *m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

inline ::testing::Environment *const windowAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new WindowAppEnvironment);

// Pumps the UI thread's messages until done() holds or the time-out passes; true when done()
// held. What a handler raises meanwhile is reported, as at the top of the real event loop.
inline bool pumpUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Pumps for a while, whatever happens.
inline void pumpFor(int milliseconds)
{
    pumpUntil([] { return false; }, milliseconds);
}

// One main window for a test, with the error box replaced by a sink.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override { m_form = std::make_unique<TMainForm>(); }
    void TearDown() override { m_form.reset(); }

    TMainForm &form() { return *m_form; }
    const std::vector<std::string> &errors() const { return m_sink.messages(); }
    // The advice line shown under each of errors(), empty where there was none.
    const std::vector<std::string> &advice() const { return m_sink.advice(); }

private:
    ReportSink m_sink;
    std::unique_ptr<TMainForm> m_form;
};

// The window on the (offscreen) screen, as the user works with it.
class ShownWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    }
};
