// Shared by the window tests: a Qt application (offscreen) for the whole test program, a sink
// that records what the error box would show, one main window per test, and pumping helpers.
// Everything runs on the test's main thread, which is the UI thread.
#pragma once

#include "app/MainForm.h"
#include "framework/core/Application.h"
#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
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
    return pumpUntil(done, std::chrono::milliseconds(timeoutMs), Pumping::EventLoop);
}

// Pumps for a while, whatever happens.
inline void pumpFor(int milliseconds)
{
    pumpUntil([] { return false; }, milliseconds);
}

// The window's states as the user meets them: every control of ControlStates.h on when listed
// in on, off otherwise, except those in either, which may be both.
inline ControlStates onlyOn(std::initializer_list<Control> on,
                            std::initializer_list<Control> either = {})
{
    ControlStates states = controlStates(on, {});
    for (Enabled &state : states) {
        if (state == Enabled::Unchanged)
            state = Enabled::Off;
    }
    for (const Control control : either)
        states[static_cast<std::size_t>(control)] = Enabled::Unchanged;
    return states;
}

namespace named {
using enum Control;
// The three read-only displays beside the scroll bars are enabled from the start until a
// setup connection first disables them, so what the test tab shows leaves them open.
constexpr auto displays = {RFChannelDisplay, RF1IDCodeDisplay, TXDIDCodeDisplay};
// Nothing chosen, nothing open, as at start.
inline const ControlStates idle = onlyOn({ComboPortSetup, ComboPortRun, ComboBaudRun,
                                          RFChannelDisplay, RF1IDCodeDisplay, TXDIDCodeDisplay});
// After either tab's "Close": both tabs may open again.
inline const ControlStates idleBothOpenable =
    onlyOn({ComboPortSetup, OpenPortSetup, ComboPortRun, ComboBaudRun, OpenPortRun}, displays);
// The setup tab holds the port: "Open" reading, then connected and idle, then a procedure
// ("READ CONFIG", "SAVE CONFIG") running.
inline const ControlStates setupConnecting =
    onlyOn({ClosePortSetup, SelectBaudrateSetup, SelectRFRate, SelectRFMode, SelectRFGain});
inline const ControlStates setupConnected =
    onlyOn({ClosePortSetup, SaveConfig, ReadConfig, SelectBaudrateSetup, SelectRFRate, SelectRFMode,
            SelectRFGain});
inline const ControlStates setupBusy =
    onlyOn({SelectBaudrateSetup, SelectRFRate, SelectRFMode, SelectRFGain});
// The test tab holds the port.
inline const ControlStates testConnected =
    onlyOn({ClosePortRun, MemoSendRun, SendStringRun, ClearReceiveRun, ClearSendRun, EditSendRun},
           displays);
} // namespace named

// Which of the controls of ControlStates.h the window has enabled.
inline ControlStates shownStates(const TMainForm &form)
{
    ControlStates states{};
    for (std::size_t i = 0; i < ControlCount; ++i)
        states[i] = form.control(static_cast<Control>(i))->isEnabled() ? Enabled::On : Enabled::Off;
    return states;
}

// Whether the window shows the states expected, naming each control that differs.
inline ::testing::AssertionResult shows(const TMainForm &form, const ControlStates &expected)
{
    const ControlStates shown = shownStates(form);
    std::string wrong;
    for (std::size_t i = 0; i < ControlCount; ++i) {
        if (expected[i] != Enabled::Unchanged && shown[i] != expected[i])
            wrong += std::string(" ") + controlName(static_cast<Control>(i)) +
                     (shown[i] == Enabled::On ? " is on" : " is off");
    }
    if (wrong.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "controls differ:" << wrong;
}

// A failed comparison of states lists the controls that are on.
inline void PrintTo(const ControlStates &states, std::ostream *out)
{
    *out << "on:";
    for (std::size_t i = 0; i < ControlCount; ++i) {
        if (states[i] == Enabled::On)
            *out << ' ' << controlName(static_cast<Control>(i));
    }
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
