// Shared by the window tests on Qt: a sink that records what the error box would show, one
// main window per test, and the Qt widgets behind it.
// Everything runs on the test's main thread, which is the UI thread.
#pragma once

#include "framework/core/Application.h"
#include "framework/qt/QtControls.h"
#include "framework/qt/QtWindow.h"
#include "tests/app/WindowStates.h"
#include "tests/support/ConfigHome.h"
#include "tests/support/Pump.h"
#include "tests/support/ReportSink.h"

#include "framework/qt/ComboBox.h"
#include "framework/qt/RadioGroup.h"
#include "framework/qt/ReceiveView.h"
#include "framework/qt/RoundTripChart.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

// The Qt widgets behind the window and its controls, for tests that drive Qt itself.
inline QWidget &qtWindow(const TMainForm &form)
{
    return *qtWindow(form.window());
}

// One main window for a test, with the error box replaced by a sink. A test expects the boxes
// it looks at through errors(); any box shown after its last look fails it.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override { m_form = std::make_unique<TMainForm>(); }
    void TearDown() override
    {
        m_form.reset();
        for (std::size_t i = m_seen; i < m_sink.messages().size(); ++i)
            ADD_FAILURE() << "unexpected error box: " << m_sink.messages()[i];
    }

    TMainForm &form() { return *m_form; }
    const std::vector<std::string> &errors() const
    {
        m_seen = m_sink.messages().size();
        return m_sink.messages();
    }
    // The advice line shown under each of errors(), empty where there was none.
    const std::vector<std::string> &advice() const { return m_sink.advice(); }

private:
    // The choices a test makes are remembered in a folder of its own: none reaches a test
    // running beside it, nor the next window.
    ConfigHome m_config;
    ReportSink m_sink;
    mutable std::size_t m_seen = 0;
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
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&qtWindow(form())));
    }
};
