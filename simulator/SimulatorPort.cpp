#include "simulator/SimulatorPort.h"

#include "simulator/PollWithin.h"

#include "link/ModuleModel.h"
#include "simulator/LineGarble.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace {

// While the slave is closed the master reports POLLHUP without pause, so the thread sleeps
// on inotify instead; this bounds the sleep in case an open notification is ever missed.
constexpr auto hungUpRecheck = std::chrono::milliseconds(100);

[[noreturn]] void fail(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void setFlags(int fd)
{
    const int fl = fcntl(fd, F_GETFL);
    if (fl < 0 || fcntl(fd, F_SETFL, fl | O_NONBLOCK) < 0 || fcntl(fd, F_SETFD, FD_CLOEXEC) < 0)
        fail("fcntl");
}

} // namespace

SimulatorPort::SimulatorPort(SimulatedModule &module) : m_module(module)
{
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    cfsetspeed(&raw, B9600);

    // The line settings go in through openpty, once, before the slave path is known to
    // anyone: a later change on the master would overwrite what the window has set.
    int slave = -1;
    char name[128] = {};
    if (openpty(&m_master, &slave, name, &raw, nullptr) < 0)
        fail("openpty");
    m_slavePath = name;
    // No slave descriptor is kept: holding one would hide the window's close from us and
    // keep answers queued for the next opener.
    ::close(slave);

    try {
        setFlags(m_master);
        m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_wake < 0)
            fail("eventfd");
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify >= 0 && inotify_add_watch(m_inotify, name, IN_OPEN) < 0) {
            ::close(m_inotify);
            m_inotify = -1; // fall back to rechecking every hungUpRecheck
        }
        m_thread = std::thread(&SimulatorPort::serve, this);
    } catch (...) {
        for (int fd : {m_master, m_wake, m_inotify})
            if (fd >= 0)
                ::close(fd);
        throw;
    }
}

SimulatorPort::~SimulatorPort()
{
    stop();
    unpublish();
    for (int fd : {m_master, m_wake, m_inotify})
        if (fd >= 0)
            ::close(fd);
}

void SimulatorPort::stop()
{
    m_stopping = true;
    wake();
    if (m_thread.joinable())
        m_thread.join();
}

void SimulatorPort::holdReading(bool hold)
{
    m_holdReading = hold;
    if (!hold) {
        wake();
        return;
    }
    // The turn under way may have asked for input before the hold, and still read it; the
    // next one, which the wake-up starts, asks with the hold set.
    std::unique_lock lock(m_mutex);
    const std::uint64_t turn = m_turns;
    wake();
    m_turned.wait(lock, [&] { return m_turns != turn || !m_serving; });
}

void SimulatorPort::hangUp()
{
    stop();
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void SimulatorPort::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
}

void SimulatorPort::publish(const std::string &directory, const std::string &name)
{
    std::lock_guard lock(m_mutex);
    const std::string path = directory + "/" + name;
    const std::string temp = directory + "/." + name + ".sim" + std::to_string(getpid());
    ::unlink(temp.c_str());
    if (::symlink(m_slavePath.c_str(), temp.c_str()) < 0)
        fail("symlink");
    // rename replaces an old entry in one step, so an opener never finds the name missing.
    if (::rename(temp.c_str(), path.c_str()) < 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        fail("rename");
    }
    if (!m_published.empty() && m_published != path)
        ::unlink(m_published.c_str());
    m_published = path;
}

void SimulatorPort::unpublish()
{
    std::lock_guard lock(m_mutex);
    if (m_published.empty())
        return;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(m_published.c_str(), target, sizeof target - 1);
    // Someone may have put another pty under the name since; leave theirs alone.
    if (n >= 0 && std::string(target, n) == m_slavePath)
        ::unlink(m_published.c_str());
    m_published.clear();
}

std::string SimulatorPort::publishedPath() const
{
    std::lock_guard lock(m_mutex);
    return m_published;
}

void SimulatorPort::inject(std::string bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_injected.push_back(std::move(bytes));
    }
    wake();
}

void SimulatorPort::setRadio(RadioSend send)
{
    m_module.setEchoAtRun(!send);
    std::lock_guard lock(m_mutex);
    m_hasRadio = static_cast<bool>(send);
    m_radio = std::move(send);
}

int SimulatorPort::radioLineBitsPerSecond() const
{
    if (!m_hasRadio || m_module.slideSwitch() != SimulatedModule::SlideSwitch::Run)
        return 0;
    return radio::lineBitsPerSecond(m_module.settings());
}

std::vector<std::string> SimulatorPort::sentWrites() const
{
    std::lock_guard lock(m_mutex);
    return m_sent;
}

std::size_t SimulatorPort::droppedBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void SimulatorPort::clearSentLog()
{
    std::lock_guard lock(m_mutex);
    m_sent.clear();
    m_sentTotal = 0;
    m_dropped = 0;
}

bool SimulatorPort::waitForSent(std::size_t totalBytes, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_sentChanged.wait_for(lock, timeout, [&] { return m_sentTotal >= totalBytes; });
}

bool SimulatorPort::masterHungUp() const
{
    pollfd p{m_master, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

void SimulatorPort::serve()
{
    pthread_setname_np(pthread_self(), "sim-port");
    // However the loop ends, a hold that waits for its next turn is let go.
    struct Ended
    {
        SimulatorPort &port;
        ~Ended()
        {
            std::lock_guard lock(port.m_mutex);
            port.m_serving = false;
            port.m_turned.notify_all();
        }
    } ended{*this};
    bool hungUp = masterHungUp();
    while (!m_stopping) {
        if (hungUp)
            hungUp = masterHungUp();
        m_slaveOpen = !hungUp;

        Clock::time_point now = Clock::now();
        {
            std::lock_guard lock(m_mutex);
            ++m_turns;
            m_turned.notify_all();
            for (std::string &bytes : m_injected)
                m_queue.emplace_back(now, std::move(bytes));
            m_injected.clear();
        }
        const Clock::time_point next = sendDue(now);

        pollfd fds[3] = {{m_wake, POLLIN, 0}, {m_inotify, POLLIN, 0}, {-1, 0, 0}};
        // A hang-up shows in revents whatever is asked for, so a held line still notices it.
        if (!hungUp)
            fds[2] = {m_master,
                      static_cast<short>((m_holdReading ? 0 : POLLIN) | (m_blocked ? POLLOUT : 0)),
                      0};

        Clock::duration wait =
            next == Clock::time_point::max() ? Clock::duration::max() : next - now;
        if (hungUp)
            wait = std::min<Clock::duration>(wait, hungUpRecheck);
        if (pollWithin(fds, 3, wait) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("zephra simulator: ppoll");
            return;
        }

        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(m_wake, &count, sizeof count);
        }
        if (fds[1].revents & POLLIN) {
            char events[4096];
            while (::read(m_inotify, events, sizeof events) > 0) {
            }
            hungUp = masterHungUp();
        }
        if (fds[2].revents & POLLOUT)
            m_blocked = false;
        if (fds[2].revents & POLLIN)
            receiveAll(Clock::now());
        if (fds[2].revents & (POLLHUP | POLLERR)) {
            hungUp = true;
            m_blocked = false; // what waited for room is dropped, not kept for the next opener
        }
    }
}

void SimulatorPort::receiveAll(Clock::time_point now)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return; // EAGAIN: all read; EIO: the slave was closed, noticed by the caller
        }
        const int lineBps = radioLineBitsPerSecond();
        if (lineBps == 0) {
            for (auto &t : m_module.receive(std::string_view(buffer, n)))
                m_queue.emplace_back(now + t.after, std::move(t.bytes));
            continue;
        }
        const std::string bytes =
            garbleLine(std::string_view(buffer, n), slaveBitsPerSecond(), lineBps);
        m_module.receive(bytes); // logged; the module does not echo when it has a radio
        RadioSend send;
        {
            std::lock_guard lock(m_mutex);
            send = m_radio;
        }
        if (send)
            send(bytes, now);
    }
}

SimulatorPort::Clock::time_point SimulatorPort::sendDue(Clock::time_point now)
{
    const int lineBps = radioLineBitsPerSecond();
    const int bps = lineBps > 0 ? lineBps : m_module.faults().paceBps;
    while (!m_queue.empty() && !m_blocked) {
        Pending &item = m_queue.front();
        if (!item.started) {
            item.start = std::max(item.due, m_lineFree);
            item.started = true;
        }
        if (bps <= 0) {
            if (item.due > now)
                return item.due;
            if (!transmit(item, item.bytes.size() - item.done))
                break;
            m_queue.pop_front();
            continue;
        }
        // On a real line a byte has arrived once its 10 bits (start, 8 data, stop) have
        // passed; everything whose last bit is past goes out in one write.
        const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / bps);
        if (item.start > now)
            return item.start + byteTime;
        const auto onLine = static_cast<std::size_t>((now - item.start) / byteTime);
        const std::size_t arrived = std::min(onLine, item.bytes.size());
        if (arrived > item.done && !transmit(item, arrived - item.done))
            break;
        if (item.done < item.bytes.size())
            return item.start + (item.done + 1) * byteTime;
        m_lineFree = item.start + item.bytes.size() * byteTime;
        m_queue.pop_front();
    }
    return Clock::time_point::max();
}

bool SimulatorPort::transmit(Pending &item, std::size_t count)
{
    if (masterHungUp()) {
        // Nobody has the port open: the bytes are lost on the line.
        item.done += count;
        std::lock_guard lock(m_mutex);
        m_dropped += count;
        return true;
    }
    // The window's side at another speed than the module's reads garbage; what it makes of
    // this piece stands for the piece, however many bytes that is.
    const int lineBps = radioLineBitsPerSecond();
    const int windowBps = lineBps > 0 ? slaveBitsPerSecond() : 0;
    const bool garbled = lineBps > 0 && windowBps != lineBps;
    const std::string garbage =
        garbled
            ? garbleLine(std::string_view(item.bytes).substr(item.done, count), lineBps, windowBps)
            : std::string();
    ssize_t n;
    do
        n = garbled ? ::write(m_master, garbage.data(), garbage.size())
                    : ::write(m_master, item.bytes.data() + item.done, count);
    while (n < 0 && errno == EINTR);
    if (garbled && n >= 0)
        n = static_cast<ssize_t>(count);
    if (n < 0) {
        if (errno == EAGAIN) {
            m_blocked = true;
            return false;
        }
        // EIO: the slave closed just now; the next pass sees the hang-up.
        item.done += count;
        std::lock_guard lock(m_mutex);
        m_dropped += count;
        return true;
    }
    {
        std::lock_guard lock(m_mutex);
        m_sent.emplace_back(item.bytes, item.done, n);
        m_sentTotal += n;
    }
    m_sentChanged.notify_all();
    item.done += n;
    if (static_cast<std::size_t>(n) < count) {
        m_blocked = true;
        return false;
    }
    return true;
}
