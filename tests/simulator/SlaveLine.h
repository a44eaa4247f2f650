// Test helpers that play the window's side of a simulated module's pty: open the slave,
// write, and read with a deadline. Also frame() to write frames as text (hexBytes() in
// FrameText.h writes them as byte lists).
#pragma once

#include "tests/support/FrameText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <unistd.h>

inline const std::string stx = "\x02";
inline const std::string etx = "\x03";

// A frame as the module sends it: STX, body, ETX, checksum pair, CR, LF.
inline std::string frame(std::string_view body, std::string_view checksum)
{
    return "\x02" + std::string(body) + "\x03" + std::string(checksum) + "\r\n";
}

class SlaveLine
{
public:
    explicit SlaveLine(const std::string &path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(m_fd, 0) << "cannot open " << path;
    }
    ~SlaveLine() { close(); }
    SlaveLine(const SlaveLine &) = delete;
    SlaveLine &operator=(const SlaveLine &) = delete;

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    void write(std::string_view bytes)
    {
        ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // As much as the pty takes now (the line is non-blocking); 0 when it is full.
    std::size_t writeSome(std::string_view bytes)
    {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

    // One write per byte, the way the window hands a frame to the port.
    void writeBytewise(std::string_view bytes)
    {
        for (char c : bytes)
            write(std::string_view(&c, 1));
    }

    // Whatever arrives until count bytes are in or the time is up.
    std::string read(std::size_t count, std::chrono::milliseconds timeout)
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        std::string got;
        while (got.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    }

private:
    int m_fd = -1;
};
