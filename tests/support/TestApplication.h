// The Qt application of a GoogleTest program, the one way the tests make it: on the offscreen
// platform, made before the first test and gone after the last. A program built with the
// widgets gets a QApplication (windows need one) with the accessible interfaces of our
// controls installed as the program installs them at its start, any other a core one.
#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

#if __has_include(<QApplication>)
#include "framework/qt/Accessibility.h"

#include <QApplication>
using TestQtApplication = QApplication;
#define ZEPHRA_TEST_WIDGETS 1
#else
using TestQtApplication = QCoreApplication;
#endif

class TestApplication : public ::testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<TestQtApplication>(m_argc, m_argv);
#ifdef ZEPHRA_TEST_WIDGETS
        installAccessibleInterfaces();
#endif
    }
    void TearDown() override
    {
        m_app.reset();
    }

private:
    int m_argc = 1;
    char m_name[8] = "test";
    char *m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};

inline ::testing::Environment *const testApplication =
    ::testing::AddGlobalTestEnvironment(new TestApplication);
