#include "platform/posix/UucpLock.h"

#include "platform/win32.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace UucpLock {

namespace {

std::mutex g_mutex;
std::set<std::string> g_held;

void releaseAllAtExit()
{
    std::lock_guard lock(g_mutex);
    for (const std::string &file : g_held)
        ::unlink(file.c_str());
    g_held.clear();
}

std::string lockDirectory()
{
    if (const char *own = std::getenv("ZEPHRA_LOCK_DIR"); own && *own)
        return own;
    for (const char *directory : {"/run/lock", "/var/lock"}) {
        struct stat info
        {
        };
        if (::stat(directory, &info) == 0 && S_ISDIR(info.st_mode))
            return directory;
    }
    return {};
}

// The process ID a lock file names: ten ASCII digits as written today, or the four-byte
// binary form of older programs; 0 when neither.
pid_t holderOf(const std::string &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    // A binary process ID's high byte is 0; "686\n" is four bytes of text.
    const bool ascii = std::all_of(text, text + std::max<ssize_t>(n, 0), [](char c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '\n';
    });
    if (n == 4 && !ascii) {
        std::int32_t binary = 0;
        std::memcpy(&binary, text, 4);
        return pid_t(binary);
    }
    char *end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && pid > 0 && pid <= INT_MAX ? pid_t(pid) : 0;
}

bool running(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

std::string lockFileFor(const std::string &path)
{
    char resolved[PATH_MAX];
    std::string device = ::realpath(path.c_str(), resolved) ? resolved : path;
    if (device.rfind("/dev/", 0) == 0)
        device.erase(0, 5);
    else if (const auto slash = device.rfind('/'); slash != std::string::npos)
        device.erase(0, slash + 1);
    for (char &c : device) {
        if (c == '/')
            c = '_';
    }
    return "LCK.." + device;
}

DWORD acquire(const std::string &path, std::string &lockFile)
{
    lockFile.clear();
    const std::string directory = lockDirectory();
    if (directory.empty())
        return ERROR_SUCCESS;
    static std::atomic<unsigned> serial{0};
    const std::string file = directory + "/" + lockFileFor(path);
    const std::string temporary =
        directory + "/LTMP." + std::to_string(::getpid()) + "." + std::to_string(serial++);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return ERROR_SUCCESS; // a lock directory we may not write: no program locks there
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", int(::getpid()));
    const bool written = ::write(fd, text, std::size_t(length)) == length;
    ::close(fd);
    DWORD result = ERROR_SUCCESS;
    // link() makes the lock appear whole or not at all, and fails when one exists.
    for (int attempt = 0; written && attempt < 3; ++attempt) {
        if (::link(temporary.c_str(), file.c_str()) == 0) {
            lockFile = file;
            break;
        }
        if (errno != EEXIST)
            break;
        const pid_t holder = holderOf(file);
        // Our own process ID in the file is a lock this process lost track of: the device
        // itself was free (its exclusive open has already succeeded).
        if (holder != ::getpid() && running(holder)) {
            result = ERROR_ACCESS_DENIED;
            break;
        }
        ::unlink(file.c_str()); // stale
    }
    ::unlink(temporary.c_str());
    if (!lockFile.empty()) {
        std::lock_guard lock(g_mutex);
        static const bool registered = std::atexit(releaseAllAtExit) == 0;
        (void)registered;
        g_held.insert(lockFile);
    }
    return result;
}

void release(const std::string &lockFile)
{
    if (lockFile.empty())
        return;
    std::lock_guard lock(g_mutex);
    if (holderOf(lockFile) == ::getpid())
        ::unlink(lockFile.c_str());
    g_held.erase(lockFile);
}

} // namespace UucpLock
