#include "tests/drivers/rig/FarEnds.h"

#include "tests/drivers/Fingerprint.h"

#include <algorithm>
#include <cerrno>
#include <linux/sockios.h>
#include <map>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::string fromHex(const std::string &hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

void writeAll(int fd, const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += std::size_t(n);
        else if (!(n < 0 && (errno == EINTR || errno == EAGAIN)))
            return;
    }
}

// One command on QEMU's monitor (a fresh connection each time); gives the reply line that
// answers it, or an empty string.
std::string monitor(const std::string &path, const std::string &command)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    std::string pending, answer;
    // The greeting, the capabilities' answer, then the command's answer (events may come
    // between them and are passed over).
    int answers = 0;
    writeAll(fd, "{\"execute\":\"qmp_capabilities\"}\n");
    while (answers < 2) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            break;
        const bool open = readLines(fd, pending, [&](const std::string &line) {
            if (line.find("\"return\"") == std::string::npos &&
                line.find("\"error\"") == std::string::npos)
                return;
            if (++answers == 1)
                writeAll(fd, command + "\n");
            else
                answer = line;
        });
        if (!open)
            break;
    }
    ::close(fd);
    return answer;
}

} // namespace

bool readLines(int fd, std::string &pending, const std::function<void(const std::string &)> &take)
{
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    pending.append(buffer, std::size_t(n));
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
        take(pending.substr(0, end));
        pending.erase(0, end + 1);
    }
    return true;
}

FarEnds::FarEnds(int controlFd, std::string qmpPath)
    : m_control(controlFd), m_qmpPath(std::move(qmpPath))
{}

void FarEnds::addLine(const std::string &name, int fd, bool breakEscape)
{
    Line line;
    line.name = name;
    line.fd = fd;
    line.breakEscape = breakEscape;
    line.module = std::make_unique<SimulatedModule>();
    m_lines.push_back(std::move(line));
}

// When the line of an echo at a rate is free for its next byte. A line that carried all it
// was given saves no time for a later burst (two bytes at most); while bytes wait, the line
// is busy from byte to byte, however late this loop comes to read them.
FarEnds::Clock::time_point FarEnds::echoLineFrom(const Line &line, Clock::time_point now)
{
    const auto byteTime = std::chrono::microseconds(1000000 / line.paceBytesPerSecond);
    return line.echoLineIdle ? std::max(line.readClock, now - 2 * byteTime) : line.readClock;
}

std::vector<FarEnds::Want> FarEnds::wanted(Clock::time_point now, Clock::time_point &nextDue) const
{
    nextDue = Clock::time_point::max();
    std::vector<Want> out{{m_control, 4096}};
    for (const Line &line : m_lines) {
        std::size_t bytes = 65536;
        if (line.role == Line::Role::Hold) {
            bytes = 0;
        } else if (line.role == Line::Role::Paced) {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::microseconds>(now - line.paceStart);
            const auto allowed =
                std::uint64_t(elapsed.count()) * std::uint64_t(line.paceBytesPerSecond) / 1000000;
            bytes = std::size_t(allowed > line.paceTaken ? allowed - line.paceTaken : 0);
            if (bytes == 0)
                nextDue = std::min(
                    nextDue, now + std::chrono::microseconds(1000000 / line.paceBytesPerSecond));
        } else if (line.role == Line::Role::Echo && line.paceBytesPerSecond > 0) {
            const auto byteTime = std::chrono::microseconds(1000000 / line.paceBytesPerSecond);
            const auto from = echoLineFrom(line, now);
            bytes = now > from ? std::size_t((now - from) / byteTime) : 0;
            if (bytes == 0)
                nextDue = std::min(nextDue, from + byteTime);
        }
        if (!line.echoOut.empty())
            nextDue = std::min(nextDue, line.echoOut.front().first);
        // A flood keeps only a little in the socket, so that it ends soon after it is stopped.
        int queued = 0;
        const bool room = ioctl(line.fd, SIOCOUTQ, &queued) != 0 || queued < 256;
        if (line.floodLeft > 0 && !room)
            nextDue = std::min(nextDue, now + std::chrono::milliseconds(2));
        out.push_back({line.fd, bytes, line.floodLeft > 0 && room});
    }
    return out;
}

bool FarEnds::readable(int fd, Clock::time_point now)
{
    if (fd == m_control) {
        return readLines(fd, m_controlInput, [this](std::string text) {
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            if (!text.empty())
                command(text);
        });
    }
    char buffer[65536];
    Line *line = lineWithFd(fd);
    if (!line)
        return true;
    Clock::time_point due;
    std::size_t limit = sizeof buffer;
    for (const Want &want : wanted(now, due)) {
        if (want.fd == fd)
            limit = std::min(limit, want.bytes);
    }
    if (limit == 0)
        return true;
    const ssize_t n = ::read(fd, buffer, limit);
    if (n <= 0)
        return n < 0 && (errno == EINTR || errno == EAGAIN);
    if (line->role == Line::Role::Paced)
        line->paceTaken += std::uint64_t(n);
    if (line->role == Line::Role::Echo && line->paceBytesPerSecond > 0) {
        const auto byteTime = std::chrono::microseconds(1000000 / line->paceBytesPerSecond);
        line->readClock = echoLineFrom(*line, now) + n * byteTime;
        int left = 0;
        line->echoLineIdle = ioctl(fd, FIONREAD, &left) == 0 && left == 0;
    }
    received(*line, std::string(buffer, std::size_t(n)));
    return true;
}

void FarEnds::writable(int fd)
{
    Line *line = lineWithFd(fd);
    if (!line || line->floodLeft == 0)
        return;
    const std::string chunk(std::size_t(std::min<std::uint64_t>(line->floodLeft, 256)),
                            line->floodByte);
    const ssize_t n = ::write(fd, chunk.data(), chunk.size());
    if (n > 0)
        line->floodLeft -= std::uint64_t(n);
}

void FarEnds::sendDue(Clock::time_point now)
{
    for (Line &line : m_lines) {
        std::string due;
        while (!line.echoOut.empty() && line.echoOut.front().first <= now) {
            due += line.echoOut.front().second;
            line.echoOut.pop_front();
        }
        if (!due.empty())
            sendTo(line, due);
    }
}

void FarEnds::received(Line &line, const std::string &bytes)
{
    line.received += bytes;
    if (line.role == Line::Role::Echo && line.paceBytesPerSecond > 0) {
        line.echoHeld += bytes;
        const auto byteTime = std::chrono::microseconds(1000000 / line.paceBytesPerSecond);
        const Clock::time_point now = Clock::now();
        while (line.echoHeld.size() >= line.echoBlock) {
            Clock::time_point at = std::max(now, line.echoFreeAt);
            for (std::size_t i = 0; i < line.echoBlock; ++i)
                line.echoOut.emplace_back(at += byteTime, line.echoHeld[i]);
            line.echoFreeAt = at;
            line.echoHeld.erase(0, line.echoBlock);
        }
    } else if (line.role == Line::Role::Echo) {
        sendTo(line, bytes);
    } else if (line.role == Line::Role::Module) {
        for (const SimulatedModule::Transmission &reply : line.module->receive(bytes)) {
            if (line.moduleAnswers == 0)
                break; // gone silent in the middle of a configuration
            if (line.moduleAnswers > 0)
                --line.moduleAnswers;
            sendTo(line, reply.bytes);
        }
    }
}

void FarEnds::sendTo(Line &line, const std::string &bytes)
{
    std::string escaped;
    for (char c : bytes) {
        escaped += c;
        if (line.breakEscape && c == '\x01')
            escaped += c;
    }
    writeAll(line.fd, escaped);
}

FarEnds::Line *FarEnds::lineNamed(const std::string &name)
{
    auto it = std::find_if(m_lines.begin(), m_lines.end(), [&](Line &l) { return l.name == name; });
    return it == m_lines.end() ? nullptr : &*it;
}

FarEnds::Line *FarEnds::lineWithFd(int fd)
{
    auto it = std::find_if(m_lines.begin(), m_lines.end(), [&](Line &l) { return l.fd == fd; });
    return it == m_lines.end() ? nullptr : &*it;
}

void FarEnds::answer(const std::string &text)
{
    writeAll(m_control, text + "\n");
}

// The control channel's commands, each a handler that gives the answer line.
struct FarEnds::Commands
{
    using Handler = std::string (*)(FarEnds &ends, Line *line, std::istream &in);

    // role LINE echo [BYTES_PER_SECOND [BLOCK]]|sink|hold|paced BYTES_PER_SECOND|module
    // [CODE=VALUE...] [answers=N]: starts afresh, forgetting what came; the module with factory
    // settings except those given, answering only its first N commands when N is given. An echo
    // with a rate reads at that rate and sends back BLOCK bytes (1 unless given) at a time once
    // they have all come, at the same rate.
    static std::string role(FarEnds &, Line *line, std::istream &in)
    {
        std::string role;
        in >> role;
        line->received.clear();
        line->paceBytesPerSecond = 0;
        line->echoHeld.clear();
        line->echoOut.clear();
        static const std::map<std::string, Line::Role> kPlain = {
            {"echo", Line::Role::Echo}, {"sink", Line::Role::Sink}, {"hold", Line::Role::Hold}};
        if (kPlain.count(role)) {
            line->role = kPlain.at(role);
            if (role == "echo" && in >> line->paceBytesPerSecond) {
                if (line->paceBytesPerSecond <= 0 || line->paceBytesPerSecond > 1000000)
                    return "error echo needs bytes per second";
                if (!(in >> line->echoBlock))
                    line->echoBlock = 1;
                line->echoBlock = std::max<std::size_t>(line->echoBlock, 1);
                line->readClock = line->echoFreeAt = Clock::now();
                line->echoLineIdle = true;
            }
        } else if (role == "module") {
            line->role = Line::Role::Module;
            line->module->resetSettings();
            line->module->clearLog();
            line->moduleAnswers = -1;
            std::string setting;
            while (in >> setting) {
                const auto eq = setting.find('=');
                if (eq == std::string::npos)
                    return "error expected CODE=VALUE";
                if (setting.substr(0, eq) == "answers") {
                    line->moduleAnswers = std::stoi(setting.substr(eq + 1));
                    continue;
                }
                line->module->setSetting(std::uint8_t(std::stoi(setting.substr(0, eq))),
                                         std::uint8_t(std::stoi(setting.substr(eq + 1))));
            }
        } else if (role == "paced") {
            line->role = Line::Role::Paced;
            in >> line->paceBytesPerSecond;
            if (line->paceBytesPerSecond <= 0)
                return "error paced needs bytes per second";
            line->paceStart = Clock::now();
            line->paceTaken = 0;
        } else {
            return "error unknown role '" + role + "'";
        }
        return "ok";
    }

    // got LINE: the count and fingerprint of what came since the role was set.
    static std::string got(FarEnds &, Line *line, std::istream &)
    {
        return "ok " + std::to_string(line->received.size()) + " " + fingerprintOf(line->received);
    }

    // send LINE HEX: sends bytes to the guest.
    static std::string send(FarEnds &ends, Line *line, std::istream &in)
    {
        std::string hex;
        in >> hex;
        ends.sendTo(*line, fromHex(hex));
        return "ok";
    }

    // break LINE: sends a break (lines behind QEMU's mux only).
    static std::string sendBreak(FarEnds &, Line *line, std::istream &)
    {
        if (!line->breakEscape)
            return "error no break on " + line->name;
        writeAll(line->fd, "\001b"); // QEMU's mux: escape, then b
        return "ok";
    }

    // unplug U0 / plug U0: takes QEMU's USB adapter away, and back on the same port.
    static std::string plug(FarEnds &ends, Line *line, std::istream &, bool in)
    {
        if (line->name != "U0")
            return "error only U0 can be unplugged";
        const std::string command =
            in ? R"({"execute":"device_add","arguments":{"driver":"usb-serial","id":"u1",)"
                 R"("bus":"xhci.0","chardev":"c3","always-plugged":true,"port":"1"}})"
               : R"({"execute":"device_del","arguments":{"id":"u1"}})";
        const std::string reply = monitor(ends.m_qmpPath, command);
        return reply.find("\"return\"") != std::string::npos ? "ok" : "error monitor: " + reply;
    }
    static std::string unplugLine(FarEnds &ends, Line *line, std::istream &in)
    {
        return plug(ends, line, in, false);
    }
    static std::string plugLine(FarEnds &ends, Line *line, std::istream &in)
    {
        return plug(ends, line, in, true);
    }

    // flood LINE COUNT HEXBYTE: sends COUNT copies of one byte as fast as QEMU takes them.
    static std::string flood(FarEnds &, Line *line, std::istream &in)
    {
        std::string byte;
        if (!(in >> line->floodLeft >> byte) || byte.size() != 2)
            return "error flood needs a count and a byte";
        line->floodByte = char(std::stoi(byte, nullptr, 16));
        if (line->breakEscape && line->floodByte == '\x01')
            return "error 01 is the mux's escape";
        return "ok";
    }

    // mark: later trace questions look only at what was traced after this.
    static std::string mark(FarEnds &ends, Line *, std::istream &)
    {
        ends.m_traceMark = ends.m_trace.size();
        return "ok";
    }

    // count TEXT: trace lines since the mark that contain TEXT.
    static std::string count(FarEnds &ends, Line *, std::istream &in)
    {
        std::string needle;
        std::getline(in >> std::ws, needle);
        std::size_t count = 0;
        for (std::size_t i = ends.m_traceMark; i < ends.m_trace.size(); ++i)
            count += ends.m_trace[i].find(needle) != std::string::npos;
        return "ok " + std::to_string(count);
    }

    // mcr: values written to a UART's modem-control register since the mark.
    static std::string modemControl(FarEnds &ends, Line *, std::istream &)
    {
        std::string values;
        for (std::size_t i = ends.m_traceMark; i < ends.m_trace.size(); ++i) {
            const std::string &entry = ends.m_trace[i];
            const auto at = entry.find("serial_write");
            const auto addr = entry.find("addr 0x04 val 0x", at);
            if (at != std::string::npos && addr != std::string::npos)
                values += " " + entry.substr(addr + 16, 2);
        }
        return "ok" + values;
    }
};

void FarEnds::command(const std::string &text)
{
    struct Command
    {
        const char *word;
        bool onLine; // the next word names the line the handler gets
        Commands::Handler handle;
    };
    static const Command kCommands[] = {
        {"role", true, Commands::role},         {"got", true, Commands::got},
        {"send", true, Commands::send},         {"break", true, Commands::sendBreak},
        {"mark", false, Commands::mark},        {"count", false, Commands::count},
        {"mcr", false, Commands::modemControl}, {"unplug", true, Commands::unplugLine},
        {"plug", true, Commands::plugLine},     {"flood", true, Commands::flood}};
    std::istringstream in(text);
    std::string verb, name;
    in >> verb;
    for (const Command &command : kCommands) {
        if (verb != command.word)
            continue;
        Line *line = command.onLine && in >> name ? lineNamed(name) : nullptr;
        if (command.onLine && !line)
            return answer("error no line '" + name + "'");
        return answer(command.handle(*this, line, in));
    }
    answer("error unknown command '" + verb + "'");
}
