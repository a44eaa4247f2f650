#include "simulator/RadioAir.h"

#include "simulator/PollWithin.h"

#include "link/ModuleModel.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

namespace {

// A datagram: these two bytes, the sender's setting bytes, then the payload.
constexpr char Magic[2] = {'Z', 'A'};
constexpr std::size_t HeaderBytes = sizeof Magic + std::tuple_size_v<radio::ModuleSettings>;

std::atomic<unsigned> radiosMade{0};

[[noreturn]] void fail(const std::string &what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

sockaddr_un addressOf(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        fail("air socket " + path);
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// splitmix64: a well-mixed number from the seed and the packet number alone.
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

} // namespace

RadioAir::RadioAir(SimulatedModule &module, const std::string &directory, const std::string &name,
                   AirFaults faults, Deliver deliver)
    : m_module(module), m_faults(faults), m_deliver(std::move(deliver)),
      m_folder(directory + "/.air-" + name)
{
    if (::mkdir(m_folder.c_str(), 0700) < 0 && errno != EEXIST)
        fail("mkdir " + m_folder);
    m_socketPath = m_folder + "/" + std::to_string(::getpid()) + "-" + std::to_string(radiosMade++);
    const sockaddr_un address = addressOf(m_socketPath);
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        fail("socket");
    ::unlink(m_socketPath.c_str());
    if (::bind(m_socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) < 0) {
        const int saved = errno;
        ::close(m_socket);
        errno = saved;
        fail("bind " + m_socketPath);
    }
    m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wake < 0) {
        const int saved = errno;
        ::close(m_socket);
        ::unlink(m_socketPath.c_str());
        errno = saved;
        fail("eventfd");
    }
    m_thread = std::thread(&RadioAir::serve, this);
}

RadioAir::~RadioAir()
{
    m_stopping = true;
    wake();
    m_thread.join();
    ::close(m_socket);
    ::close(m_wake);
    ::unlink(m_socketPath.c_str());
    ::rmdir(m_folder.c_str()); // fails while other modules are on the air, as it should
}

bool RadioAir::loses(const AirFaults &faults, std::uint64_t index)
{
    if (faults.lossPercent <= 0)
        return false;
    constexpr std::uint64_t Scale = 1'000'000;
    const auto threshold = static_cast<std::uint64_t>(faults.lossPercent / 100.0 * Scale);
    return mix(faults.seed * 0x100000001B3ULL ^ mix(index)) % Scale < threshold;
}

void RadioAir::transmit(std::string_view bytes, Clock::time_point now)
{
    if (bytes.empty())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_gatherer.add(bytes, now, radio::lineBitsPerSecond(m_module.settings()));
    }
    wake();
}

RadioAir::Counts RadioAir::counts() const
{
    std::lock_guard lock(m_mutex);
    return m_counts;
}

void RadioAir::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
}

void RadioAir::serve()
{
    pthread_setname_np(pthread_self(), "sim-air");
    while (!m_stopping) {
        const Clock::time_point now = Clock::now();
        std::vector<PacketGatherer::Packet> ready;
        Clock::time_point next;
        {
            std::lock_guard lock(m_mutex);
            ready = m_gatherer.take(now);
            next = m_gatherer.nextDue();
        }
        for (PacketGatherer::Packet &packet : ready)
            leave(std::move(packet));
        while (!m_outgoing.empty() && m_outgoing.front().arrives <= now) {
            broadcast(m_outgoing.front().datagram);
            m_outgoing.pop_front();
        }
        if (!m_outgoing.empty())
            next = std::min(next, m_outgoing.front().arrives);

        pollfd fds[2] = {{m_wake, POLLIN, 0}, {m_socket, POLLIN, 0}};
        if (pollWithin(fds, 2,
                       next == Clock::time_point::max() ? Clock::duration::max() : next - now) <
            0) {
            if (errno == EINTR)
                continue;
            std::perror("zephra simulator: ppoll");
            return;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(m_wake, &count, sizeof count);
        }
        if (fds[1].revents & POLLIN)
            receiveAll();
    }
}

void RadioAir::leave(PacketGatherer::Packet packet)
{
    const radio::ModuleSettings settings = m_module.settings();
    std::uint64_t index;
    {
        std::lock_guard lock(m_mutex);
        index = m_counts.sent++;
    }
    const int airBps = radio::airBitsPerSecond(settings);
    // A radio without a valid data rate sends nothing anyone could hear.
    if (airBps <= 0 || loses(m_faults, index)) {
        std::lock_guard lock(m_mutex);
        ++m_counts.lost;
        return;
    }
    const auto airtime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(static_cast<long long>((packet.bytes.size() + OverheadBytes) * 8) *
                                 1'000'000'000LL / airBps));
    const Clock::time_point start = std::max(packet.ready, m_radioFree);
    m_radioFree = start + airtime;
    std::string datagram(Magic, sizeof Magic);
    datagram.append(reinterpret_cast<const char *>(settings.data()), settings.size());
    datagram += packet.bytes;
    m_outgoing.push_back({m_radioFree + m_faults.latency, std::move(datagram)});
}

void RadioAir::broadcast(const std::string &datagram)
{
    DIR *folder = ::opendir(m_folder.c_str());
    if (!folder)
        return;
    const std::string own = m_socketPath.substr(m_folder.size() + 1);
    while (const dirent *entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name == own)
            continue;
        const std::string path = m_folder + "/" + name;
        const sockaddr_un address = addressOf(path);
        const ssize_t n = ::sendto(m_socket, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                   reinterpret_cast<const sockaddr *>(&address), sizeof address);
        // Nobody is bound there any more: a module that was killed left its socket behind.
        if (n < 0 && errno == ECONNREFUSED)
            ::unlink(path.c_str());
    }
    ::closedir(folder);
}

void RadioAir::receiveAll()
{
    char buffer[HeaderBytes + 4096];
    for (;;) {
        const ssize_t n = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (static_cast<std::size_t>(n) < HeaderBytes ||
            std::memcmp(buffer, Magic, sizeof Magic) != 0)
            continue; // not from one of our radios
        radio::ModuleSettings sender;
        std::memcpy(sender.data(), buffer + sizeof Magic, sender.size());
        const bool kept = m_module.slideSwitch() == SimulatedModule::SlideSwitch::Run &&
                          radio::reaches(sender, m_module.settings());
        if (kept) {
            std::string payload(buffer + HeaderBytes, n - HeaderBytes);
            if (m_deliver)
                m_deliver(std::move(payload), Clock::now());
            else
                transmit(payload, Clock::now());
        }
        // Counted once handed on, so a reader that sees the count also sees the packet.
        std::lock_guard lock(m_mutex);
        ++(kept ? m_counts.received : m_counts.ignored);
    }
}
