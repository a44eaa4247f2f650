#include "platform/posix/RemoteDevice.h"

#include "platform/posix/DcbTermios.h"
#include "platform/posix/TelnetCodec.h"
#include "platform/win32.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <linux/sockios.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kOpenLimit = std::chrono::seconds(3);
constexpr auto kAnswerLimit = std::chrono::seconds(2);
constexpr std::size_t kChunk = 64 * 1024;
// Beyond this much decoded input not yet taken, the socket is left to fill (the port's input
// queue stops reading the same way).
constexpr std::size_t kMaxHeldInput = 1024 * 1024;
// Output is taken from writes while less than this waits to go into the socket.
constexpr std::size_t kMaxHeldOutput = 64 * 1024;

// The settings COM-PORT carries, as its values.
struct ComSettings
{
    std::uint32_t speed = 0;
    std::uint8_t dataSize = 8;
    std::uint8_t parity = Telnet::ParityNone;
    std::uint8_t stopSize = 1;
    std::uint8_t flow = Telnet::FlowNone;
};

ComSettings comSettings(const LineSettings &settings)
{
    ComSettings com;
    com.speed = settings.speed;
    switch (settings.cflag & CSIZE) {
    case CS5:
        com.dataSize = 5;
        break;
    case CS6:
        com.dataSize = 6;
        break;
    case CS7:
        com.dataSize = 7;
        break;
    default:
        com.dataSize = 8;
        break;
    }
    if (settings.cflag & PARENB) {
        const bool odd = settings.cflag & PARODD;
        if (settings.cflag & CMSPAR)
            com.parity = odd ? Telnet::ParityMark : Telnet::ParitySpace;
        else
            com.parity = odd ? Telnet::ParityOdd : Telnet::ParityEven;
    }
    com.stopSize = (settings.cflag & CSTOPB) ? 2 : 1;
    com.flow = (settings.cflag & CRTSCTS)               ? Telnet::FlowHardware
               : (settings.iflag & (IXON | IXOFF)) != 0 ? Telnet::FlowXonXoff
                                                        : Telnet::FlowNone;
    return com;
}

LineSettings lineSettings(const ComSettings &com)
{
    LineSettings settings;
    settings.speed = com.speed;
    const std::uint32_t sizes[] = {CS5, CS6, CS7, CS8};
    settings.cflag = CREAD | CLOCAL | sizes[std::clamp<int>(com.dataSize, 5, 8) - 5];
    if (com.parity == Telnet::ParityOdd)
        settings.cflag |= PARENB | PARODD;
    else if (com.parity == Telnet::ParityEven)
        settings.cflag |= PARENB;
    else if (com.parity == Telnet::ParityMark)
        settings.cflag |= PARENB | PARODD | CMSPAR;
    else if (com.parity == Telnet::ParitySpace)
        settings.cflag |= PARENB | CMSPAR;
    if (com.stopSize == 2)
        settings.cflag |= CSTOPB;
    if (com.flow == Telnet::FlowHardware)
        settings.cflag |= CRTSCTS;
    else if (com.flow == Telnet::FlowXonXoff)
        settings.iflag |= IXON | IXOFF;
    return settings;
}

// getaddrinfo cannot be given a time limit: it runs on a thread of its own, and a look-up that
// outlives the wait cleans up after itself.
struct LookUp
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    int status = EAI_AGAIN;
    addrinfo *list = nullptr;
};

addrinfo *resolve(const RemotePortAddress &address, Clock::time_point deadline)
{
    auto lookUp = std::make_shared<LookUp>();
    try {
        std::thread([lookUp, host = address.host, port = std::to_string(address.port)] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo *list = nullptr;
            const int status = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
            std::lock_guard lock(lookUp->mutex);
            if (lookUp->abandoned) {
                if (status == 0)
                    freeaddrinfo(list);
                return;
            }
            lookUp->status = status;
            lookUp->list = status == 0 ? list : nullptr;
            lookUp->finished = true;
            lookUp->done.notify_all();
        }).detach();
    } catch (const std::system_error &) {
        return nullptr;
    }
    std::unique_lock lock(lookUp->mutex);
    if (!lookUp->done.wait_until(lock, deadline, [&] { return lookUp->finished; })) {
        lookUp->abandoned = true;
        return nullptr;
    }
    return lookUp->list;
}

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, 60000));
}

// A connected non-blocking TCP socket, or -1; resolved tells whether the name gave addresses.
int connectWithin(const RemotePortAddress &address, Clock::time_point deadline, bool &resolved)
{
    addrinfo *list = resolve(address, deadline);
    resolved = list != nullptr;
    int connected = -1;
    for (addrinfo *entry = list; entry && connected < 0; entry = entry->ai_next) {
        const int fd = socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              entry->ai_protocol);
        if (fd < 0)
            continue;
        int error = ::connect(fd, entry->ai_addr, entry->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            socklen_t size = sizeof error;
            error = poll(&wait, 1, remainingMs(deadline)) == 1 &&
                            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0
                        ? error
                        : ETIMEDOUT;
        }
        if (error == 0)
            connected = fd;
        else
            ::close(fd);
    }
    if (list)
        freeaddrinfo(list);
    if (connected >= 0) {
        // Each write goes out at once; a far end that vanished without closing (a cable, a
        // power cut) is noticed within about half a minute.
        const int on = 1, idle = 10, interval = 5, probes = 3, userTimeout = 30000;
        setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        setsockopt(connected, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        setsockopt(connected, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        setsockopt(connected, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        setsockopt(connected, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
        setsockopt(connected, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
    }
    return connected;
}

class RemoteDevice : public CommDevice
{
public:
    explicit RemoteDevice(int socket) : m_socket(socket) {}
    ~RemoteDevice() override
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }

    // Negotiates the options; the Win32 error.
    DWORD negotiate(Clock::time_point deadline)
    {
        m_out = Telnet::openingRequests();
        const Telnet::ServerState &server = m_decoder.state();
        const int status =
            exchange([&] { return server.comPortAccepted || server.comPortRefused; }, deadline);
        if (status == ETIMEDOUT || server.comPortRefused)
            return ERROR_NOT_SUPPORTED;
        if (status != 0)
            return ERROR_FILE_NOT_FOUND; // closed at once: the server has no port to give
        // Every modem line and every line error is to be told.
        m_out += Telnet::comCommand(Telnet::SetModemStateMask, 0xFF);
        m_out += Telnet::comCommand(Telnet::SetLineStateMask,
                                    Telnet::LineOverrun | Telnet::LineParity | Telnet::LineFraming |
                                        Telnet::LineBreak);
        return flushOut() == 0 ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
    }

    int pollFd() const override { return m_socket; }

    ssize_t read(std::uint8_t *buffer, std::size_t count) override
    {
        if (m_inStart == m_in.size() && !m_eof && m_error == 0)
            pump();
        const std::size_t held = m_in.size() - m_inStart;
        if (held > 0) {
            const std::size_t taken = std::min(held, count);
            std::copy_n(m_in.data() + m_inStart, taken, buffer);
            m_inStart += taken;
            if (m_inStart == m_in.size()) {
                m_in.clear();
                m_inStart = 0;
            }
            return ssize_t(taken);
        }
        if (m_error != 0) {
            errno = EIO;
            return -1;
        }
        if (m_eof)
            return 0;
        errno = EAGAIN;
        return -1;
    }

    ssize_t write(const std::uint8_t *data, std::size_t count) override
    {
        if (flushOut() != 0) {
            errno = EIO;
            return -1;
        }
        if (m_out.size() >= kMaxHeldOutput) {
            errno = EAGAIN;
            return -1;
        }
        const std::size_t taken = std::min(count, kChunk / 4);
        Telnet::escape(data, taken, m_out);
        flushOut(); // a failure shows at the next call
        return ssize_t(taken);
    }

    bool inputHeld() const override { return m_inStart < m_in.size() || m_eof || m_error != 0; }

    int readSettings(LineSettings &settings) override
    {
        if (!m_appliedKnown) {
            if (const int status = sendSettings(ComSettings{0, 0, 0, 0, 0}); status != 0)
                return status;
            m_applied = answered();
            m_appliedKnown = true;
        }
        settings = lineSettings(m_applied);
        return 0;
    }

    int applySettings(const LineSettings &settings) override
    {
        const ComSettings wanted = comSettings(settings);
        if (const int status = sendSettings(wanted); status != 0)
            return status;
        const ComSettings got = answered();
        if (got.dataSize != wanted.dataSize || got.parity != wanted.parity ||
            got.stopSize != wanted.stopSize || got.flow != wanted.flow) {
            if (m_appliedKnown)
                sendSettings(m_applied);
            return EINVAL;
        }
        // The speed the server answered is what readSettings() tells; the port compares it.
        m_applied = got;
        m_appliedKnown = true;
        m_marking = marksErrors(settings);
        return 0;
    }

    std::unique_ptr<LineStatus> lineStatus() override;

    int outputQueue(unsigned &count) override
    {
        count = 0;
        if (flushOut() != 0)
            return EIO;
        int unsent = 0;
        if (ioctl(m_socket, SIOCOUTQNSD, &unsent) != 0)
            unsent = 0;
        count = unsigned(m_out.size() + std::size_t(std::max(unsent, 0)));
        return 0;
    }

    void flushInput() override
    {
        m_in.clear();
        m_inStart = 0;
        purge(1); // the server's buffer of what its port received
    }
    // What waits in our buffer stays: it may hold commands as well as data.
    void flushOutput() override { purge(2); }

    void release(const LineSettings &, bool) override
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
    }

    // For the line status: the server's word, and commands sent without waiting.
    const Telnet::ServerState &server() const { return m_decoder.state(); }
    int send(const std::string &commands)
    {
        m_out += commands;
        return flushOut();
    }

private:
    // Reads what the socket has, once: data into the held input, the rest into the decoder's
    // state; answers the server's negotiation. 0 or the errno of a failed read.
    void pump()
    {
        if (m_in.size() - m_inStart >= kMaxHeldInput)
            return;
        std::uint8_t buffer[kChunk];
        const ssize_t got = recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0) {
            m_eof = true;
            return;
        }
        if (got < 0) {
            if (errno != EAGAIN && errno != EINTR)
                m_error = errno;
            return;
        }
        m_decoded.clear();
        m_decoder.feed(buffer, std::size_t(got), m_decoded);
        // Received bytes take the line discipline's form (see CommDevice::read).
        if (m_marking)
            Telnet::escape(reinterpret_cast<const std::uint8_t *>(m_decoded.data()),
                           m_decoded.size(), m_in);
        else
            m_in += m_decoded;
        const std::string answers = m_decoder.takeAnswers();
        if (!answers.empty())
            send(answers);
    }

    // Sends what waits in m_out; 0, or EIO once the connection has failed.
    int flushOut()
    {
        while (m_error == 0 && !m_out.empty()) {
            const ssize_t sent =
                ::send(m_socket, m_out.data(), m_out.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent > 0) {
                m_out.erase(0, std::size_t(sent));
            } else if (sent < 0 && errno == EINTR) {
                continue;
            } else if (sent < 0 && errno == EAGAIN) {
                break;
            } else {
                m_error = sent < 0 ? errno : EPIPE;
            }
        }
        return m_error != 0 ? EIO : 0;
    }

    // Sends m_out and reads until answered() holds; 0, ETIMEDOUT or EIO.
    int exchange(const std::function<bool()> &answered, Clock::time_point deadline)
    {
        for (;;) {
            if (flushOut() != 0)
                return EIO;
            if (m_out.empty() && answered())
                return 0;
            if (m_eof)
                return EIO;
            const int wait = remainingMs(deadline);
            if (wait == 0)
                return ETIMEDOUT;
            pollfd fds{m_socket, short(m_out.empty() ? 0 : POLLOUT), 0};
            if (m_in.size() - m_inStart < kMaxHeldInput)
                fds.events |= POLLIN;
            if (poll(&fds, 1, wait) > 0 && (fds.revents & (POLLIN | POLLHUP | POLLERR)))
                pump();
            if (m_error != 0)
                return EIO;
        }
    }

    int sendSettings(const ComSettings &com)
    {
        const auto &answers = m_decoder.state().answers;
        const auto &flow = m_decoder.state().flowAnswer;
        const std::uint64_t before[] = {
            answers[Telnet::SetBaudRate].count, answers[Telnet::SetDataSize].count,
            answers[Telnet::SetParity].count, answers[Telnet::SetStopSize].count, flow.count};
        m_out += Telnet::baudRateCommand(com.speed);
        m_out += Telnet::comCommand(Telnet::SetDataSize, com.dataSize);
        m_out += Telnet::comCommand(Telnet::SetParity, com.parity);
        m_out += Telnet::comCommand(Telnet::SetStopSize, com.stopSize);
        m_out += Telnet::comCommand(Telnet::SetControl, com.flow);
        return exchange(
            [&] {
                return answers[Telnet::SetBaudRate].count > before[0] &&
                       answers[Telnet::SetDataSize].count > before[1] &&
                       answers[Telnet::SetParity].count > before[2] &&
                       answers[Telnet::SetStopSize].count > before[3] && flow.count > before[4];
            },
            Clock::now() + kAnswerLimit);
    }

    ComSettings answered() const
    {
        const Telnet::ServerState &server = m_decoder.state();
        return {server.answers[Telnet::SetBaudRate].value,
                std::uint8_t(server.answers[Telnet::SetDataSize].value),
                std::uint8_t(server.answers[Telnet::SetParity].value),
                std::uint8_t(server.answers[Telnet::SetStopSize].value),
                std::uint8_t(server.flowAnswer.value)};
    }

    void purge(std::uint8_t which) { send(Telnet::comCommand(Telnet::PurgeData, which)); }

    int m_socket;
    Telnet::Decoder m_decoder;
    std::string m_decoded;
    std::string m_in; // decoded input from m_inStart on, in the line discipline's form
    std::size_t m_inStart = 0;
    std::string m_out; // encoded bytes the socket has not taken yet
    bool m_eof = false;
    int m_error = 0;
    bool m_marking = false;
    ComSettings m_applied;
    bool m_appliedKnown = false;
};

class RemoteLineStatus : public LineStatus
{
public:
    explicit RemoteLineStatus(RemoteDevice &device) : m_device(device) {}

    int modemLines(DWORD &msBits) override
    {
        const std::uint8_t state = m_device.server().modemState;
        msBits = ((state & Telnet::ModemCts) ? MS_CTS_ON : 0) |
                 ((state & Telnet::ModemDsr) ? MS_DSR_ON : 0) |
                 ((state & Telnet::ModemRi) ? MS_RING_ON : 0) |
                 ((state & Telnet::ModemCd) ? MS_RLSD_ON : 0);
        return 0;
    }
    int errorCounters(LineCounters &counters) override
    {
        const Telnet::ServerState &server = m_device.server();
        counters.frame = server.framingErrors;
        counters.overrun = server.overruns;
        counters.parity = server.parityErrors;
        counters.brk = server.breaks;
        return 0;
    }
    int setDtr(bool on) override { return control(on ? Telnet::DtrOn : Telnet::DtrOff); }
    int setRts(bool on) override { return control(on ? Telnet::RtsOn : Telnet::RtsOff); }
    int setBreak(bool on) override { return control(on ? Telnet::BreakOn : Telnet::BreakOff); }

private:
    int control(std::uint8_t value)
    {
        return m_device.send(Telnet::comCommand(Telnet::SetControl, value));
    }

    RemoteDevice &m_device;
};

std::unique_ptr<LineStatus> RemoteDevice::lineStatus()
{
    return std::make_unique<RemoteLineStatus>(*this);
}

} // namespace

std::unique_ptr<CommDevice> openRemoteDevice(const RemotePortAddress &address, DWORD &error)
{
    const Clock::time_point deadline = Clock::now() + kOpenLimit;
    bool resolved = false;
    const int socket = connectWithin(address, deadline, resolved);
    if (socket < 0) {
        error = resolved ? ERROR_FILE_NOT_FOUND : ERROR_BAD_NETPATH;
        return nullptr;
    }
    auto device = std::make_unique<RemoteDevice>(socket);
    error = device->negotiate(deadline);
    if (error != ERROR_SUCCESS)
        return nullptr;
    return device;
}
