#include "tests/drivers/rig/FarEnds.h"

#include "tests/drivers/Fingerprint.h"

#include <cerrno>
#include <sstream>
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

} // namespace

FarEnds::FarEnds(int controlFd) : m_control(controlFd) {}

void FarEnds::addLine(const std::string &name, int fd, bool breakEscape)
{
    Line line;
    line.name = name;
    line.fd = fd;
    line.breakEscape = breakEscape;
    line.module = std::make_unique<SimulatedModule>();
    m_lines.push_back(std::move(line));
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
        }
        out.push_back({line.fd, bytes});
    }
    return out;
}

bool FarEnds::readable(int fd, Clock::time_point now)
{
    char buffer[65536];
    if (fd == m_control) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return n < 0 && (errno == EINTR || errno == EAGAIN);
        m_controlInput.append(buffer, std::size_t(n));
        std::size_t end;
        while ((end = m_controlInput.find('\n')) != std::string::npos) {
            std::string text = m_controlInput.substr(0, end);
            m_controlInput.erase(0, end + 1);
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            if (!text.empty())
                command(text);
        }
        return true;
    }
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
    received(*line, std::string(buffer, std::size_t(n)));
    return true;
}

void FarEnds::received(Line &line, const std::string &bytes)
{
    line.received += bytes;
    if (line.role == Line::Role::Echo) {
        sendTo(line, bytes);
    } else if (line.role == Line::Role::Module) {
        for (const SimulatedModule::Transmission &reply : line.module->receive(bytes))
            sendTo(line, reply.bytes);
    }
}

void FarEnds::sendTo(Line &line, const std::string &bytes)
{
    if (!line.breakEscape) {
        writeAll(line.fd, bytes);
        return;
    }
    std::string escaped;
    for (char c : bytes) {
        escaped += c;
        if (c == '\x01')
            escaped += c;
    }
    writeAll(line.fd, escaped);
}

void FarEnds::traceLine(const std::string &line)
{
    m_trace.push_back(line);
}

FarEnds::Line *FarEnds::lineNamed(const std::string &name)
{
    for (Line &line : m_lines) {
        if (line.name == name)
            return &line;
    }
    return nullptr;
}

FarEnds::Line *FarEnds::lineWithFd(int fd)
{
    for (Line &line : m_lines) {
        if (line.fd == fd)
            return &line;
    }
    return nullptr;
}

void FarEnds::answer(const std::string &text)
{
    writeAll(m_control, text + "\n");
}

// Commands:
//   role LINE echo|sink|hold|paced BYTES_PER_SECOND|module [CODE=VALUE...]
//                       starts afresh, forgetting what came; the module with factory settings
//                       except those given
//   got LINE            the count and fingerprint of what came since the role was set
//   send LINE HEX       sends bytes to the guest
//   break LINE          sends a break (lines behind QEMU's mux only)
//   mark                later trace questions look only at what was traced after this
//   count TEXT          trace lines since the mark that contain TEXT
//   lines TEXT          those lines themselves, from TEXT on, separated by " | "
//   mcr                 values written to a UART's modem-control register since the mark
void FarEnds::command(const std::string &text)
{
    struct Command
    {
        const char *word;
        bool onLine; // the next word names the line the handler gets
        Handler handle;
    };
    static const Command kCommands[] = {
        {"role", true, &FarEnds::setRole},       {"got", true, &FarEnds::got},
        {"send", true, &FarEnds::send},          {"break", true, &FarEnds::sendBreak},
        {"mark", false, &FarEnds::mark},         {"count", false, &FarEnds::count},
        {"lines", false, &FarEnds::tracedLines}, {"mcr", false, &FarEnds::modemControl}};
    std::istringstream in(text);
    std::string verb, name;
    in >> verb;
    for (const Command &command : kCommands) {
        if (verb != command.word)
            continue;
        Line *line = command.onLine && in >> name ? lineNamed(name) : nullptr;
        if (command.onLine && !line)
            return answer("error no line '" + name + "'");
        return answer((this->*command.handle)(line, in));
    }
    answer("error unknown command '" + verb + "'");
}

std::string FarEnds::mark(Line *, std::istream &)
{
    m_traceMark = m_trace.size();
    return "ok";
}

std::string FarEnds::count(Line *, std::istream &in)
{
    std::string needle;
    std::getline(in >> std::ws, needle);
    std::size_t count = 0;
    for (std::size_t i = m_traceMark; i < m_trace.size(); ++i)
        count += m_trace[i].find(needle) != std::string::npos;
    return "ok " + std::to_string(count);
}

std::string FarEnds::tracedLines(Line *, std::istream &in)
{
    std::string needle, found;
    std::getline(in >> std::ws, needle);
    for (std::size_t i = m_traceMark; i < m_trace.size(); ++i) {
        if (m_trace[i].find(needle) != std::string::npos)
            found += " | " + m_trace[i].substr(m_trace[i].find(needle));
    }
    return "ok" + found;
}

std::string FarEnds::modemControl(Line *, std::istream &)
{
    std::string values;
    for (std::size_t i = m_traceMark; i < m_trace.size(); ++i) {
        const std::string &entry = m_trace[i];
        const auto at = entry.find("serial_write");
        const auto addr = entry.find("addr 0x04 val 0x", at);
        if (at != std::string::npos && addr != std::string::npos)
            values += " " + entry.substr(addr + 16, 2);
    }
    return "ok" + values;
}

std::string FarEnds::setRole(Line *line, std::istream &in)
{
    std::string role;
    in >> role;
    line->received.clear();
    if (role == "echo") {
        line->role = Line::Role::Echo;
    } else if (role == "sink") {
        line->role = Line::Role::Sink;
    } else if (role == "hold") {
        line->role = Line::Role::Hold;
    } else if (role == "module") {
        line->role = Line::Role::Module;
        line->module->resetSettings();
        line->module->clearLog();
        std::string setting;
        while (in >> setting) {
            const auto eq = setting.find('=');
            if (eq == std::string::npos)
                return "error expected CODE=VALUE";
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

std::string FarEnds::got(Line *line, std::istream &)
{
    return "ok " + std::to_string(line->received.size()) + " " + fingerprintOf(line->received);
}

std::string FarEnds::send(Line *line, std::istream &in)
{
    std::string hex;
    in >> hex;
    sendTo(*line, fromHex(hex));
    return "ok";
}

std::string FarEnds::sendBreak(Line *line, std::istream &)
{
    if (!line->breakEscape)
        return "error no break on " + line->name;
    writeAll(line->fd, "\x01"
                       "b");
    return "ok";
}
