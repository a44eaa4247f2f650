// Base of every exception the program raises on purpose: a message in 8-bit text and, where
// the raiser knows what the user can do about it, one line of advice (empty otherwise).
// Handlers report exceptions by their message and advice (Application::HandleException).
#pragma once

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception
{
public:
    explicit Exception(std::string message, std::string advice = {})
        : m_message(std::move(message)), m_advice(std::move(advice))
    {}

    const std::string &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_message.c_str(); }

    // Shown apart from the message and never part of it.
    const std::string &advice() const noexcept { return m_advice; }
    void setAdvice(std::string advice) { m_advice = std::move(advice); }

private:
    std::string m_message;
    std::string m_advice;
};
