// Bulk throughput through WriteFile/ReadFile over a pseudo-terminal pair, next to plain
// write()/read() on the same pair, and the time from a byte reaching the device to EV_RXCHAR
// completing, next to the time a plain poll() takes to see the same byte.
// Usage: pty_throughput [MiB per direction, default 16] [event samples, default 2000]
//                       [rounds, default 5]
#include "platform/win32.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kChunk = 64 * 1024;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void die(const char *what)
{
    std::fprintf(stderr, "pty_throughput: %s: %s\n", what, std::strerror(errno));
    std::exit(1);
}

void writeAll(int fd, const char *data, std::size_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, data, count);
        if (n > 0) {
            data += n;
            count -= std::size_t(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            die("write");
        } else {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 1000);
        }
    }
}

void readAll(int fd, std::size_t count)
{
    std::vector<char> buffer(kChunk);
    while (count > 0) {
        const ssize_t n = ::read(fd, buffer.data(), std::min(count, buffer.size()));
        if (n > 0) {
            count -= std::size_t(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            die("read");
        } else {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 1000);
        }
    }
}

// Bytes per second of one transfer: one thread writes, the caller reads.
template<class Write, class Read> double measure(std::size_t total, Write write, Read read)
{
    const auto start = Clock::now();
    std::thread writer(write);
    read();
    writer.join();
    return double(total) / secondsSince(start);
}

struct Percentiles
{
    double median;
    double p99;
};

Percentiles percentiles(std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2],
            micros[std::min(micros.size() - 1, micros.size() * 99 / 100)]};
}

double mibPerSecond(double bytesPerSecond)
{
    return bytesPerSecond / (1024.0 * 1024.0);
}

HANDLE openPort(const std::string &slavePath)
{
    const std::string directory =
        (std::filesystem::temp_directory_path() / ("zephra-bench-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(directory);
    std::filesystem::create_symlink(slavePath, directory + "/COM1");
    setenv("ZEPHRA_PORTS", directory.c_str(), 1);
    HANDLE port = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    std::filesystem::remove_all(directory);
    if (port == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "pty_throughput: CreateFileA failed with %u\n", GetLastError());
        std::exit(1);
    }
    DCB dcb{};
    GetCommState(port, &dcb);
    dcb.BaudRate = 115200;
    SetCommState(port, &dcb);
    return port;
}

} // namespace

int main(int argc, char **argv)
{
    const std::size_t total = std::size_t(argc > 1 ? std::atoi(argv[1]) : 16) << 20;
    const int samples = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::vector<char> payload(kChunk, '\xA5');

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        die("posix_openpt");
    const std::string slavePath = ptsname(master);
    auto sendPlain = [&](int fd) {
        for (std::size_t sent = 0; sent < total; sent += kChunk)
            writeAll(fd, payload.data(), kChunk);
    };

    // Each round measures plain descriptors and the port on the same pair, one after the
    // other; the best round of each counts, which keeps other load on the machine out.
    double plainOut = 0, plainIn = 0, oursOut = 0, oursIn = 0;
    std::vector<double> plainDelay, eventDelay;
    char byte = 0;
    for (int round = 0; round < rounds; ++round) {
        const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
        if (slave < 0)
            die("open slave");
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(slave, TCSANOW, &raw);
        plainOut = std::max(plainOut,
                            measure(
                                total, [&] { sendPlain(slave); }, [&] { readAll(master, total); }));
        plainIn = std::max(plainIn,
                           measure(
                               total, [&] { sendPlain(master); }, [&] { readAll(slave, total); }));
        for (int i = 0; i < samples / rounds; ++i) {
            const auto start = Clock::now();
            writeAll(master, "x", 1);
            pollfd p{slave, POLLIN, 0};
            poll(&p, 1, 5000);
            plainDelay.push_back(secondsSince(start) * 1e6);
            [[maybe_unused]] ssize_t ignored = ::read(slave, &byte, 1);
        }
        ::close(slave);

        HANDLE port = openPort(slavePath);
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        COMMTIMEOUTS waitForAll{0, 0, 0, 0, 0};
        SetCommTimeouts(port, &waitForAll);
        auto transfer = [&](bool write) {
            std::vector<char> buffer(kChunk);
            for (std::size_t done = 0; done < total; done += kChunk) {
                DWORD count = 0;
                const BOOL ok = write ? WriteFile(port, payload.data(), kChunk, nullptr, &ov)
                                      : ReadFile(port, buffer.data(), kChunk, nullptr, &ov);
                if ((!ok && GetLastError() != ERROR_IO_PENDING) ||
                    !GetOverlappedResult(port, &ov, &count, TRUE) || count != kChunk) {
                    std::fprintf(stderr, "pty_throughput: transfer failed with %u\n",
                                 GetLastError());
                    std::exit(1);
                }
            }
        };
        oursOut =
            std::max(oursOut, measure(
                                  total, [&] { transfer(true); }, [&] { readAll(master, total); }));
        oursIn = std::max(oursIn, measure(
                                      total, [&] { sendPlain(master); }, [&] { transfer(false); }));

        COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 0};
        SetCommTimeouts(port, &immediate);
        SetCommMask(port, EV_RXCHAR);
        for (int i = 0; i < samples / rounds; ++i) {
            DWORD events = 0;
            const bool pending = !WaitCommEvent(port, &events, &ov);
            const auto start = Clock::now();
            writeAll(master, "x", 1);
            if (pending)
                WaitForSingleObject(ov.hEvent, INFINITE);
            eventDelay.push_back(secondsSince(start) * 1e6);
            DWORD count = 0;
            ReadFile(port, &byte, 1, &count, &ov);
        }
        CloseHandle(ov.hEvent);
        CloseHandle(port);
    }
    ::close(master);

    const Percentiles plain = percentiles(plainDelay);
    const Percentiles ours = percentiles(eventDelay);
    std::printf("pty bulk throughput, %zu MiB each way, %zu KiB requests, best of %d rounds\n",
                total >> 20, kChunk >> 10, rounds);
    std::printf("  %-26s %12s %12s %6s\n", "direction", "plain", "ours", "ratio");
    std::printf("  %-26s %6.1f MiB/s %6.1f MiB/s %6.2f\n", "to the far end (write)",
                mibPerSecond(plainOut), mibPerSecond(oursOut), oursOut / plainOut);
    std::printf("  %-26s %6.1f MiB/s %6.1f MiB/s %6.2f\n", "from the far end (read)",
                mibPerSecond(plainIn), mibPerSecond(oursIn), oursIn / plainIn);
    std::printf("byte written by the far end -> seen, %zu samples (microseconds)\n",
                eventDelay.size());
    std::printf("  plain poll() wakes:       median %7.1f  p99 %7.1f\n", plain.median, plain.p99);
    std::printf("  EV_RXCHAR wait completes: median %7.1f  p99 %7.1f\n", ours.median, ours.p99);
    std::printf("  added by the layer:       median %7.1f\n", ours.median - plain.median);
    return 0;
}
