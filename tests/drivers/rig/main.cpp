// driver-rig: boots one QEMU guest whose serial ports are driven by the kernel's real 8250
// and ftdi_sio drivers, plays the far end of each port, and reports the guest's test run.
//
//   driver-rig KERNEL INITRD LOG [KERNEL-ARGUMENT...]
//
// The guest's ports: ttyS0 is its console, ttyS1 a 16550A (8250) whose far end can also
// send a break, ttyS2 the control channel of the far ends, ttyUSB0 an FT232B (ftdi_sio).
// Every chardev is one end of a socket pair held here; the console goes to LOG. The guest's
// init prints "@@zephra-drivers boot", "@@zephra-drivers start" and finally
// "@@zephra-drivers rc=N"; QEMU itself exits 0 whatever the tests did, so the verdict comes
// from that last line. Prints one summary line; exits 0 only when the suite passed, 3 when
// the guest never started it.
#include "tests/drivers/rig/FarEnds.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kGuestLimit = std::chrono::seconds(200);

struct Pair
{
    int ours = -1;
    int guests = -1;
};

Pair socketPair(bool smallBuffer)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        std::perror("driver-rig: socketpair");
        std::exit(2);
    }
    // QEMU's end gets the smallest send buffer, so that a far end reading at a line rate
    // holds QEMU's transmitter, and through it the guest's UART, at that rate.
    if (smallBuffer) {
        const int size = 1;
        setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return {fds[0], fds[1]};
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: driver-rig KERNEL INITRD LOG [KERNEL-ARGUMENT...]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const Pair console = socketPair(false);
    const Pair uart = socketPair(true);
    const Pair control = socketPair(false);
    const Pair usb = socketPair(false);
    int traceFds[2];
    if (pipe2(traceFds, O_CLOEXEC) != 0)
        return 2;
    fcntl(traceFds[0], F_SETFL, O_NONBLOCK);

    // Under emulation on a busy host the kernel's check of the IO-APIC timer can miss its
    // window and panic the guest; the check proves nothing here.
    std::string append = "console=ttyS0 quiet panic=-1 no_timer_check";
    for (int i = 4; i < argc; ++i)
        append += std::string(" ") + argv[i];
    auto chardev = [](const char *id, int fd, bool mux) {
        return std::string("socket,id=") + id + ",fd=" + std::to_string(fd) +
               (mux ? ",mux=on" : "");
    };
    std::vector<std::string> args = {
        "qemu-system-x86_64",
        "-nodefaults",
        "-m",
        "512",
        "-display",
        "none",
        "-no-reboot",
        "-kernel",
        argv[1],
        "-initrd",
        argv[2],
        "-append",
        append,
        "-chardev",
        chardev("c0", console.guests, false),
        "-device",
        "isa-serial,index=0,chardev=c0",
        "-chardev",
        chardev("c1", uart.guests, true),
        "-device",
        "isa-serial,index=1,chardev=c1",
        "-chardev",
        chardev("c2", control.guests, false),
        "-device",
        "isa-serial,index=2,chardev=c2",
        "-chardev",
        chardev("c3", usb.guests, false),
        "-device",
        "qemu-xhci,id=xhci",
        "-device",
        "usb-serial,bus=xhci.0,chardev=c3,always-plugged=on",
        "-virtfs",
        "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap",
        "-trace",
        "serial_write",
        "-trace",
        "usb_serial_handle_control",
        "-trace",
        "serial_update_parameters"};

    const Clock::time_point started = Clock::now();
    const pid_t qemu = fork();
    if (qemu == 0) {
        for (int fd : {console.guests, uart.guests, control.guests, usb.guests})
            fcntl(fd, F_SETFD, 0);
        dup2(traceFds[1], 2);
        const int null = ::open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        std::vector<char *> argvQemu;
        for (std::string &arg : args)
            argvQemu.push_back(arg.data());
        argvQemu.push_back(nullptr);
        execvp(argvQemu[0], argvQemu.data());
        std::perror("driver-rig: qemu-system-x86_64");
        _exit(127);
    }
    for (int fd : {console.guests, uart.guests, control.guests, usb.guests, traceFds[1]})
        ::close(fd);

    FarEnds ends(control.ours);
    ends.addLine("S1", uart.ours, true);
    ends.addLine("U0", usb.ours, false);

    std::ofstream log(argv[3]);
    std::string consoleText, consoleLine, traceText;
    Clock::time_point booted{}, suiteStarted{}, suiteEnded{};
    int rc = -1;
    bool consoleOpen = true, traceOpen = true;
    while (consoleOpen && rc < 0 && Clock::now() - started < kGuestLimit) {
        Clock::time_point due;
        const std::vector<FarEnds::Want> wants = ends.wanted(Clock::now(), due);
        std::vector<pollfd> fds;
        fds.push_back({console.ours, POLLIN, 0});
        fds.push_back({traceOpen ? traceFds[0] : -1, POLLIN, 0});
        for (const FarEnds::Want &want : wants)
            fds.push_back({want.bytes > 0 ? want.fd : -1, POLLIN, 0});
        int timeout = 1000;
        if (due != Clock::time_point::max())
            timeout = int(std::clamp<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count() +
                    1,
                1, 1000));
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;
        const Clock::time_point now = Clock::now();
        char buffer[65536];
        if (fds[0].revents) {
            const ssize_t n = ::read(console.ours, buffer, sizeof buffer);
            if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
                consoleOpen = false;
            } else if (n > 0) {
                log.write(buffer, n);
                log.flush();
                consoleText.append(buffer, std::size_t(n));
                consoleLine.append(buffer, std::size_t(n));
                std::size_t end;
                while ((end = consoleLine.find('\n')) != std::string::npos) {
                    const std::string line = consoleLine.substr(0, end);
                    consoleLine.erase(0, end + 1);
                    if (line.find("@@zephra-drivers boot") != std::string::npos)
                        booted = now;
                    else if (line.find("@@zephra-drivers start") != std::string::npos)
                        suiteStarted = now;
                    else if (const auto at = line.find("@@zephra-drivers rc="); at != line.npos)
                        rc = std::atoi(line.c_str() + at + 20), suiteEnded = now;
                }
            }
        }
        if (fds[1].revents) {
            const ssize_t n = ::read(traceFds[0], buffer, sizeof buffer);
            if (n == 0) {
                traceOpen = false;
            } else if (n > 0) {
                traceText.append(buffer, std::size_t(n));
                std::size_t end;
                while ((end = traceText.find('\n')) != std::string::npos) {
                    ends.traceLine(traceText.substr(0, end));
                    traceText.erase(0, end + 1);
                }
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents)
                ends.readable(fds[i].fd, now);
        }
    }
    // The guest powers itself off after its verdict; give it a moment, then make sure.
    for (int i = 0; i < 50 && waitpid(qemu, nullptr, WNOHANG) == 0; ++i)
        usleep(100000);
    if (waitpid(qemu, nullptr, WNOHANG) == 0) {
        kill(qemu, SIGKILL);
        waitpid(qemu, nullptr, 0);
    }
    const Clock::time_point ended = Clock::now();

    std::smatch match;
    std::string tests = "?";
    if (std::regex_search(consoleText, match,
                          std::regex(R"((\d+) tests? from \d+ test suites? ran)")))
        tests = match[1];
    std::string failed = "0";
    if (std::regex_search(consoleText, match, std::regex(R"((\d+) FAILED TESTS?)")))
        failed = match[1];
    const bool passed = rc == 0;
    char timing[160];
    std::snprintf(timing, sizeof timing, "boot %.1f s, suite %.1f s, guest %.1f s",
                  booted == Clock::time_point{} ? 0.0 : seconds(booted - started),
                  suiteEnded == Clock::time_point{} ? 0.0 : seconds(suiteEnded - suiteStarted),
                  seconds(ended - started));
    if (!passed) {
        std::fwrite(consoleText.data(), 1, consoleText.size(), stdout);
        if (rc < 0)
            std::printf("\ndriver-rig: the guest gave no verdict (console: %s)\n", argv[3]);
    }
    std::printf("drivers: %s, %s tests on 8250 and ftdi_sio, %s failed (%s)\n",
                passed ? "passed" : "FAILED", tests.c_str(), failed.c_str(), timing);
    // 3: the guest never reached the suite (it may be worth another boot).
    return passed ? 0 : suiteStarted == Clock::time_point{} ? 3 : 1;
}
