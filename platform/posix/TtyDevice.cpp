#include "platform/posix/TtyDevice.h"

#include "platform/posix/ErrnoMap.h"
#include "platform/posix/ModemWatcher.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Runs a call that may wait in the driver (close(), tcdrain()) on a thread of its own, and
// ends that wait with the wake signal once limitMs have passed (the waits are interruptible).
// Returns whether the call ended by itself.
bool runWithin(const std::function<void()> &call, long limitMs)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    const int wake = ModemWatcher::wakeSignal();
    std::thread runner([&] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, wake);
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        call();
        std::lock_guard lock(mutex);
        done = true;
        ended.notify_all();
    });
    std::unique_lock lock(mutex);
    const bool inTime =
        ended.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return done; });
    // A signal that comes before the thread is inside the wait is lost: repeat.
    while (!done) {
        pthread_kill(runner.native_handle(), wake);
        ended.wait_for(lock, std::chrono::milliseconds(5));
    }
    lock.unlock();
    runner.join();
    return inTime;
}

// A close() whose wait in the driver is ended after limitMs (the driver then kills what it
// has in flight and close() returns).
void closeWithin(int fd, long limitMs)
{
    runWithin([fd] { ::close(fd); }, limitMs);
}

} // namespace

namespace TtyDevice {

int openExclusive(const std::string &path, DWORD &error)
{
    // O_NONBLOCK keeps open() from waiting for carrier before CLOCAL is set.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // However the path is broken, and whatever non-device it names (a folder), for a
        // comm name it means "no such port"; so does a UART node with no UART behind it,
        // whose open fails with EIO.
        error = errno == EISDIR || errno == EIO ? ERROR_FILE_NOT_FOUND : win32ErrorFromErrno(errno);
        if (error == ERROR_PATH_NOT_FOUND)
            error = ERROR_FILE_NOT_FOUND;
        return -1;
    }
    termios probe{};
    if (tcgetattr(fd, &probe) != 0) {
        ::close(fd);
        error = ERROR_FILE_NOT_FOUND;
        return -1;
    }
    // TIOCEXCL alone lets root in again; the lock does not.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? ERROR_ACCESS_DENIED : win32ErrorFromErrno(errno);
        ::close(fd);
        return -1;
    }
    ioctl(fd, TIOCEXCL);
    error = ERROR_SUCCESS;
    return fd;
}

void release(int fd, long limitMs)
{
    if (fd < 0)
        return;
    tcflush(fd, TCOFLUSH);
    // The exclusive flag belongs to the terminal and outlives this descriptor while anyone
    // else keeps the terminal open; clear it so that the next opener is not refused.
    ioctl(fd, TIOCNXCL);
    closeWithin(fd, limitMs);
}

int drain(int fd, long limitMs)
{
    int error = 0;
    // A wait the signal ended gives EINTR; one that ended by itself but late still counts.
    const bool inTime = runWithin([&] { error = tcdrain(fd) == 0 ? 0 : errno; }, limitMs);
    return error == EINTR && !inTime ? ETIMEDOUT : error;
}

void leaveHungUp(int fd, const LineSettings &settings)
{
    tcflush(fd, TCOFLUSH);
    // Sixteen characters of a UART's FIFO at 10 bits each, with room to spare.
    const long limitMs = std::clamp<long>(
        settings.speed ? 16L * 10L * 1000L * 2L / long(settings.speed) + 5 : 500, 5, 500);
    for (long waited = 0; waited < limitMs; ++waited) {
        int lsr = 0;
        if (ioctl(fd, TIOCSERGETLSR, &lsr) != 0 || (lsr & TIOCSER_TEMT))
            break;
        usleep(1000);
    }
    LineSettings hungUp = settings;
    hungUp.speed = 0;
    applyLineSettings(fd, hungUp);
}

bool isPseudoTerminal(int fd)
{
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    // Unix98 masters and slaves, and the legacy BSD pairs.
    const unsigned kind = major(info.st_rdev);
    return (kind >= 128 && kind <= 143) || kind == 2 || kind == 3 || info.st_rdev == makedev(5, 2);
}

std::uint32_t uartBaudBase(int fd)
{
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0 || info.type == PORT_UNKNOWN || info.baud_base <= 0)
        return 0;
    return std::uint32_t(info.baud_base);
}

unsigned outputQueue(int fd)
{
    unsigned count = 0;
    outputQueue(fd, count);
    return count;
}

int outputQueue(int fd, unsigned &count)
{
    int queued = 0;
    count = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0)
        return errno == EINVAL || errno == ENOTTY ? 0 : errno;
    count = queued > 0 ? unsigned(queued) : 0;
    return 0;
}

int answers(int fd)
{
    int lines = 0;
    if (ioctl(fd, TIOCMGET, &lines) == 0)
        return 0;
    return errno == EINVAL || errno == ENOTTY ? 0 : errno;
}

void flushInput(int fd)
{
    tcflush(fd, TCIFLUSH);
}

void flushOutput(int fd)
{
    tcflush(fd, TCOFLUSH);
}

} // namespace TtyDevice
