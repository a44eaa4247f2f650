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
// from that last line. Prints one summary line; exits with one of tests/drivers/ExitCodes.h.
#include "tests/drivers/ExitCodes.h"
#include "tests/drivers/rig/FarEnds.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <sstream>
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
    int ours = -1, guests = -1;
};

Pair socketPair(bool smallBuffer)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        std::perror("driver-rig: socketpair");
        std::exit(RigExit::kSetupFailed);
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

// The guest's chardevs, and the channel on which QEMU's trace output (its stderr) arrives.
struct Channels
{
    Pair console = socketPair(false);
    Pair uart = socketPair(true);
    Pair control = socketPair(false);
    Pair usb = socketPair(false);
    Pair trace = socketPair(false);

    // QEMU's ends of the chardevs, in the order of their ids (c0 to c3).
    std::array<int, 4> guestEnds() const
    {
        return {console.guests, uart.guests, control.guests, usb.guests};
    }
};

std::vector<std::string> qemuArguments(char **argv, int argc, const Channels &c,
                                       const std::string &qmpPath)
{
    // Under emulation on a busy host the kernel's check of the IO-APIC timer can miss its
    // window and panic the guest; the check proves nothing here.
    std::string append = "console=ttyS0 quiet panic=-1 no_timer_check";
    for (int i = 4; i < argc; ++i)
        append += std::string(" ") + argv[i];
    std::vector<std::string> args = {
        "qemu-system-x86_64", "-kernel", argv[1], "-initrd", argv[2], "-append", append};
    // Chardevs c0 to c3; the UART's behind QEMU's mux, whose escape sends a break.
    for (int i = 0; i < 4; ++i) {
        args.push_back("-chardev");
        args.push_back("socket,id=c" + std::to_string(i) +
                       ",fd=" + std::to_string(c.guestEnds()[i]) + (i == 1 ? ",mux=on" : ""));
    }
    std::istringstream fixed(
        "-nodefaults -m 512 -display none -no-reboot "
        "-device isa-serial,index=0,chardev=c0 -device isa-serial,index=1,chardev=c1 "
        "-device isa-serial,index=2,chardev=c2 -device qemu-xhci,id=xhci "
        "-device usb-serial,id=u1,bus=xhci.0,chardev=c3,always-plugged=on,port=1 "
        "-virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap "
        "-trace serial_write -trace usb_serial_handle_control -trace serial_update_parameters");
    for (std::string word; fixed >> word;)
        args.push_back(word);
    args.push_back("-qmp");
    args.push_back("unix:" + qmpPath + ",server=on,wait=off");
    return args;
}

pid_t startQemu(std::vector<std::string> args, const Channels &c)
{
    const pid_t qemu = fork();
    if (qemu == 0) {
        for (int fd : c.guestEnds())
            fcntl(fd, F_SETFD, 0);
        dup2(c.trace.guests, 2);
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
    for (int fd : c.guestEnds())
        ::close(fd);
    ::close(c.trace.guests);
    return qemu;
}

// The guest powers itself off after its verdict; give it a moment, then make sure.
void stopQemu(pid_t qemu)
{
    for (int i = 0; i < 50 && waitpid(qemu, nullptr, WNOHANG) == 0; ++i)
        usleep(100000);
    if (waitpid(qemu, nullptr, WNOHANG) == 0) {
        kill(qemu, SIGKILL);
        waitpid(qemu, nullptr, 0);
    }
}

// What the guest's console said, and when its init reached each marker.
struct GuestRun
{
    std::string console;
    Clock::time_point started = Clock::now(), booted{}, suiteStarted{}, suiteEnded{}, ended{};
    int rc = -1; // the suite's exit status; -1 until the guest gives it
};

void noteMarker(const std::string &line, Clock::time_point now, GuestRun &run)
{
    if (line.find("@@zephra-drivers boot") != std::string::npos)
        run.booted = now;
    else if (line.find("@@zephra-drivers start") != std::string::npos)
        run.suiteStarted = now;
    else if (const auto at = line.find("@@zephra-drivers rc="); at != line.npos)
        run.rc = std::atoi(line.c_str() + at + 20), run.suiteEnded = now;
}

// Plays the far ends until the guest gives its verdict, its console closes or time runs out.
void runGuest(const Channels &c, FarEnds &ends, const char *logPath, GuestRun &run)
{
    std::ofstream log(logPath);
    std::string consoleLine, traceLine;
    bool consoleOpen = true, traceOpen = true;
    while (consoleOpen && run.rc < 0 && Clock::now() - run.started < kGuestLimit) {
        Clock::time_point due;
        std::vector<pollfd> fds;
        fds.push_back({c.console.ours, POLLIN, 0});
        fds.push_back({traceOpen ? c.trace.ours : -1, POLLIN, 0});
        for (const FarEnds::Want &want : ends.wanted(Clock::now(), due))
            fds.push_back({want.bytes > 0 || want.flood ? want.fd : -1,
                           short((want.bytes > 0 ? POLLIN : 0) | (want.flood ? POLLOUT : 0)), 0});
        const auto untilDue = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
        const int timeout = int(std::clamp<long>(untilDue.count(), 1, 1000));
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;
        const Clock::time_point now = Clock::now();
        ends.sendDue(now);
        if (fds[0].revents)
            consoleOpen = readLines(c.console.ours, consoleLine, [&](const std::string &line) {
                log << line << '\n' << std::flush;
                run.console += line + '\n';
                noteMarker(line, now, run);
            });
        if (fds[1].revents)
            traceOpen = readLines(c.trace.ours, traceLine,
                                  [&](const std::string &line) { ends.traceLine(line); });
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                ends.readable(fds[i].fd, now);
            if (fds[i].revents & POLLOUT)
                ends.writable(fds[i].fd);
        }
    }
    log << consoleLine;
    run.console += consoleLine;
}

// Seconds from one marker to another; 0 when the guest never reached the second.
double seconds(Clock::time_point from, Clock::time_point to)
{
    return to == Clock::time_point{} ? 0.0 : std::chrono::duration<double>(to - from).count();
}

// Prints the summary line (and the console when the suite did not pass); gives the exit status.
int summarise(const GuestRun &run, const char *logPath)
{
    std::smatch match;
    std::string tests = "?";
    if (std::regex_search(run.console, match,
                          std::regex(R"((\d+) tests? from \d+ test suites? ran)")))
        tests = match[1];
    std::string failed = "0";
    if (std::regex_search(run.console, match, std::regex(R"((\d+) FAILED TESTS?)")))
        failed = match[1];
    const bool passed = run.rc == RigExit::kPassed;
    char timing[160];
    std::snprintf(timing, sizeof timing, "boot %.1f s, suite %.1f s, guest %.1f s",
                  seconds(run.started, run.booted), seconds(run.suiteStarted, run.suiteEnded),
                  seconds(run.started, run.ended));
    if (!passed) {
        std::fwrite(run.console.data(), 1, run.console.size(), stdout);
        if (run.rc < 0)
            std::printf("\ndriver-rig: the guest gave no verdict (console: %s)\n", logPath);
        if (run.rc == RigExit::kNoTestSelected)
            std::printf("\ndriver-rig: ZEPHRA_DRIVERS_FILTER selects no test\n");
    }
    std::printf("drivers: %s, %s tests on 8250, ftdi_sio, cdc_acm, pl2303, ch341 and cp210x, %s "
                "failed (%s)\n",
                passed ? "passed" : "FAILED", tests.c_str(), failed.c_str(), timing);
    if (passed)
        return RigExit::kPassed;
    return run.suiteStarted == Clock::time_point{} ? RigExit::kNoBoot : RigExit::kFailed;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: driver-rig KERNEL INITRD LOG [KERNEL-ARGUMENT...]\n");
        return RigExit::kSetupFailed;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const Channels channels;
    GuestRun run;
    char directory[] = "/tmp/driver-rig.XXXXXX";
    if (!mkdtemp(directory)) {
        std::perror("driver-rig: mkdtemp");
        return RigExit::kSetupFailed;
    }
    const std::string qmpPath = std::string(directory) + "/qmp";
    const pid_t qemu = startQemu(qemuArguments(argv, argc, channels, qmpPath), channels);
    FarEnds ends(channels.control.ours, qmpPath);
    ends.addLine("S1", channels.uart.ours, true);
    ends.addLine("U0", channels.usb.ours, false);
    runGuest(channels, ends, argv[3], run);
    stopQemu(qemu);
    ::unlink(qmpPath.c_str());
    ::rmdir(directory);
    run.ended = Clock::now();
    return summarise(run, argv[3]);
}
