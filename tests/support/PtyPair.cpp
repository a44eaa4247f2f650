#include "tests/support/PtyPair.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace {

[[noreturn]] void failed(const char *what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

} // namespace

PtyPair::PtyPair()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        failed("posix_openpt");
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0)
        failed("ptsname_r");
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0)
        failed("open slave");
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    if (m_slave >= 0)
        ::close(m_slave);
    closeMaster();
}

void PtyPair::writeAll(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd fd{m_master, POLLOUT, 0};
            poll(&fd, 1, 100);
        } else if (!(n < 0 && errno == EINTR)) {
            failed("write master");
        }
    }
}

std::string PtyPair::readSome(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string out;
    char buffer[65536];
    while (out.size() < count) {
        const ssize_t n = ::read(m_master, buffer, std::min(sizeof buffer, count - out.size()));
        if (n > 0) {
            out.append(buffer, std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int left = remainingMs(deadline);
        if (left == 0 || (n < 0 && errno != EAGAIN))
            break;
        pollfd fd{m_master, POLLIN, 0};
        poll(&fd, 1, left);
    }
    return out;
}

std::string PtyPair::drain()
{
    return readSome(SIZE_MAX, std::chrono::milliseconds(0));
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

PortDirectory::PortDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zephra-ports-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        failed("mkdtemp");
    m_path = pattern;
    if (const char *previous = std::getenv("ZEPHRA_PORTS")) {
        m_hadPrevious = true;
        m_previous = previous;
    }
    setenv("ZEPHRA_PORTS", m_path.c_str(), 1);
}

PortDirectory::~PortDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    if (m_hadPrevious)
        setenv("ZEPHRA_PORTS", m_previous.c_str(), 1);
    else
        unsetenv("ZEPHRA_PORTS");
}

std::string PortDirectory::publish(const PtyPair &pair, int number)
{
    return publishPath(pair.slavePath(), number);
}

std::string PortDirectory::publishPath(const std::string &target, int number)
{
    const std::string name = "COM" + std::to_string(number);
    const std::string link = m_path + "/" + name;
    ::unlink(link.c_str());
    if (::symlink(target.c_str(), link.c_str()) != 0)
        failed("symlink");
    return name;
}
