// Replaces the application's exception report (the error box in the program) for its lifetime
// and records each message as it would be shown, the "." rule applied, and beside it the advice
// line the box would show under it (empty when none). UI thread only.
#pragma once

#include "framework/core/Application.h"
#include "tests/support/TestApplication.h"

#include <string>
#include <vector>

class ReportSink
{
public:
    ReportSink()
        : m_previous(Application::instance().setExceptionReporter(
              [this](const std::string &message, const std::string &advice) {
                  m_messages.push_back(message);
                  m_advice.push_back(advice);
              }))
    {}
    ~ReportSink() { Application::instance().setExceptionReporter(m_previous); }
    ReportSink(const ReportSink &) = delete;
    ReportSink &operator=(const ReportSink &) = delete;

    const std::vector<std::string> &messages() const { return m_messages; }
    // Entry i belongs to messages()[i].
    const std::vector<std::string> &advice() const { return m_advice; }
    void clear()
    {
        m_messages.clear();
        m_advice.clear();
    }

private:
    Application::ExceptionReporter m_previous;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_advice;
};
