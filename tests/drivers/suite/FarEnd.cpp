#include "tests/drivers/suite/FarEnd.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace FarEnd {

namespace {

int controlChannel()
{
    static const int fd = [] {
        const int fd = ::open("/dev/ttyS2", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return -1;
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, B115200);
        t.c_cflag |= CLOCAL | CREAD;
        tcsetattr(fd, TCSANOW, &t);
        tcflush(fd, TCIOFLUSH);
        return fd;
    }();
    return fd;
}

} // namespace

std::string lineOf(const std::string &comName)
{
    return comName == kUart ? "S1" : "U0";
}

void publishPorts()
{
    const char *home = std::getenv("HOME");
    const std::string directory = std::string(home ? home : "/tmp") + "/driver-ports";
    ::mkdir(directory.c_str(), 0700);
    ::unlink((directory + "/" + kUart).c_str());
    ::unlink((directory + "/" + kUsb).c_str());
    [[maybe_unused]] int a = ::symlink("/dev/ttyS1", (directory + "/" + kUart).c_str());
    [[maybe_unused]] int b = ::symlink("/dev/ttyUSB0", (directory + "/" + kUsb).c_str());
    setenv("ZEPHRA_PORTS", directory.c_str(), 1);
}

std::string call(const std::string &command)
{
    const int fd = controlChannel();
    if (fd < 0) {
        ADD_FAILURE() << "no control channel: " << std::strerror(errno);
        return {};
    }
    const std::string line = command + "\n";
    if (::write(fd, line.data(), line.size()) != ssize_t(line.size())) {
        ADD_FAILURE() << "control write failed";
        return {};
    }
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        char c = 0;
        pollfd p{fd, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline || poll(&p, 1, 100) < 0) {
            ADD_FAILURE() << "no answer to '" << command << "'";
            return {};
        }
        if (!(p.revents & POLLIN) || ::read(fd, &c, 1) != 1)
            continue;
        if (c == '\n')
            break;
        answer += c;
    }
    if (answer.rfind("ok", 0) != 0) {
        ADD_FAILURE() << "'" << command << "': " << answer;
        return {};
    }
    return answer.size() > 3 ? answer.substr(3) : std::string();
}

Received received(const std::string &line)
{
    std::istringstream in(call("got " + line));
    Received result;
    in >> result.count >> result.fingerprint;
    return result;
}

Received settled(const std::string &line, std::size_t expected)
{
    Received last = received(line);
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const Received now = received(line);
        if (now.count >= expected && now.count == last.count)
            return now;
        last = now;
    }
    return last;
}

void setRole(const std::string &line, const std::string &role)
{
    call("role " + line + " sink");
    settled(line, 0);
    call("role " + line + " " + role);
}

int traced(const std::string &text)
{
    return std::stoi(call("count " + text));
}

std::vector<unsigned> modemControlWrites()
{
    std::istringstream in(call("mcr"));
    std::vector<unsigned> values;
    std::string hex;
    while (in >> hex)
        values.push_back(unsigned(std::stoul(hex, nullptr, 16)));
    return values;
}

} // namespace FarEnd
