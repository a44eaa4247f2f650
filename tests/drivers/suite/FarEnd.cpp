#include "tests/drivers/suite/FarEnd.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
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

// One answer line from fd within ms; false on time-out or end.
bool readLine(int fd, std::string &answer, int ms)
{
    answer.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        char c = 0;
        pollfd p{fd, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline || poll(&p, 1, 100) < 0)
            return false;
        if (!(p.revents & (POLLIN | POLLHUP)))
            continue;
        if (::read(fd, &c, 1) != 1)
            return false;
        if (c == '\n')
            return true;
        answer += c;
    }
}

// A driver-gadget process: its stdin and stdout.
struct Gadget
{
    pid_t pid = -1;
    int commands = -1, answers = -1;
};

std::map<std::string, Gadget> &gadgets()
{
    static std::map<std::string, Gadget> running;
    return running;
}

std::string portDirectory()
{
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "/tmp") + "/driver-ports";
}

// Starts driver-gadget (beside this program) for a chip on device controller udc.
bool startGadget(const Port &port, int udc)
{
    char self[PATH_MAX] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return false;
    std::string program = self;
    program = program.substr(0, program.rfind('/')) + "/driver-gadget";
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        return false;
    const std::string controller = "dummy_udc." + std::to_string(udc);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        execl(program.c_str(), "driver-gadget", port.chip, controller.c_str(), nullptr);
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    gadgets()[port.line] = {pid, in[1], out[0]};
    std::string ready;
    return readLine(out[0], ready, 20000) && ready == "ready";
}

// The tty node of a USB adapter: ours by the serial string driver-gadget gives its chip,
// QEMU's by its maker.
std::string findNode(const Port &port)
{
    const std::string file = port.chip ? "/serial" : "/manufacturer";
    const std::string wanted = port.chip ? std::string("Z") + port.chip : "QEMU";
    DIR *dir = ::opendir("/sys/class/tty");
    std::string found;
    while (dirent *entry = dir ? ::readdir(dir) : nullptr) {
        char real[PATH_MAX];
        const std::string device = std::string("/sys/class/tty/") + entry->d_name + "/device";
        if (!::realpath(device.c_str(), real))
            continue;
        for (std::string at = real; at.size() > 5; at = at.substr(0, at.rfind('/'))) {
            if (::access((at + "/idVendor").c_str(), F_OK) != 0)
                continue;
            std::ifstream text(at + file);
            std::string value;
            if (text >> value && value == wanted)
                found = std::string("/dev/") + entry->d_name;
            break;
        }
    }
    if (dir)
        ::closedir(dir);
    return found;
}

void link(const std::string &comName, const std::string &node)
{
    const std::string path = portDirectory() + "/" + comName;
    ::unlink(path.c_str());
    [[maybe_unused]] int linked = ::symlink(node.c_str(), path.c_str());
}

} // namespace

const std::vector<Port> &ports()
{
    static const std::vector<Port> all = {
        {"8250", kUart, "S1", nullptr},      {"ftdi_sio", kUsb, "U0", nullptr},
        {"ftdi_sio", "COM4", "FT", "ft232"}, {"cdc_acm", "COM5", "ACM", "cdcacm"},
        {"pl2303", "COM6", "PL", "pl2303"},  {"ch341", "COM7", "CH", "ch340"},
        {"cp210x", "COM8", "CP", "cp2102"}};
    return all;
}

const Port &portOf(const std::string &comName)
{
    for (const Port &port : ports())
        if (comName == port.com)
            return port;
    return ports().front();
}

std::string lineOf(const std::string &comName)
{
    return portOf(comName).line;
}

std::string nodeOf(const Port &port)
{
    char target[PATH_MAX] = {};
    const std::string path = portDirectory() + "/" + port.com;
    return ::readlink(path.c_str(), target, sizeof target - 1) > 0 ? target : "";
}

bool republish(const Port &port, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        const std::string node = findNode(port);
        if (!node.empty() && ::access(node.c_str(), F_OK) == 0) {
            link(port.com, node);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void publishPorts()
{
    ::mkdir(portDirectory().c_str(), 0700);
    link(kUart, "/dev/ttyS1");
    link(kUsb, "/dev/ttyUSB0");
    setenv("ZEPHRA_PORTS", portDirectory().c_str(), 1);
    int udc = 0;
    for (const Port &port : ports()) {
        if (!port.chip)
            continue;
        if (!startGadget(port, udc++))
            std::fprintf(stderr, "driver-suite: the %s far end did not start\n", port.chip);
    }
    for (const Port &port : ports()) {
        if (port.chip && !republish(port, 10000))
            std::fprintf(stderr, "driver-suite: no tty for %s\n", port.chip);
        else
            std::fprintf(stderr, "driver-suite: %s is %s (%s)\n", port.com, nodeOf(port).c_str(),
                         port.driver);
    }
}

// Sends a command to the far end named by its second word.
std::string call(const std::string &command)
{
    std::istringstream words(command);
    std::string verb, line;
    words >> verb >> line;
    const auto gadget = gadgets().find(line);
    const bool own = gadget != gadgets().end();
    const int out = own ? gadget->second.commands : controlChannel();
    const int in = own ? gadget->second.answers : controlChannel();
    if (out < 0) {
        ADD_FAILURE() << "no control channel: " << std::strerror(errno);
        return {};
    }
    const std::string text = command + "\n";
    if (::write(out, text.data(), text.size()) != ssize_t(text.size())) {
        ADD_FAILURE() << "control write failed";
        return {};
    }
    std::string answer;
    if (!readLine(in, answer, 20000)) {
        ADD_FAILURE() << "no answer to '" << command << "'";
        return {};
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
