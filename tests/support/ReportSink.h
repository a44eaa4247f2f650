// Replaces the application's exception report (the error box in the program) for its lifetime
// and records each message as it would be shown, the "." rule applied. UI thread only.
#pragma once

#include "framework/core/Application.h"

#include <string>
#include <vector>

class ReportSink
{
public:
    ReportSink()
        : m_previous(Application::instance().setExceptionReporter(
              [this](const std::string &message) { m_messages.push_back(message); }))
    {}
    ~ReportSink() { Application::instance().setExceptionReporter(m_previous); }
    ReportSink(const ReportSink &) = delete;
    ReportSink &operator=(const ReportSink &) = delete;

    const std::vector<std::string> &messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    Application::ExceptionReporter m_previous;
    std::vector<std::string> m_messages;
};
