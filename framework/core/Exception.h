// Base of every exception the program raises on purpose: a message in 8-bit text.
// Handlers report exceptions by their message (Application::HandleException).
#pragma once

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception
{
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}

    const std::string &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};
