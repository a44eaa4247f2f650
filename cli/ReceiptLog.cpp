#include "cli/ReceiptLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32

// The few POSIX calls below, on the C runtime's descriptors and the system's file locks. The
// log is bytes: binary mode, so that no newline becomes CR LF. A directory entry needs no sync.
constexpr int O_CLOEXEC = _O_NOINHERIT | _O_BINARY;
constexpr int LOCK_EX = 1;
constexpr int LOCK_UN = 2;

int flock(int fd, int operation)
{
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED whole = {};
    const BOOL done = operation == LOCK_EX
                          ? LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)
                          : UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    if (done)
        return 0;
    errno = EIO;
    return -1;
}

int fdatasync(int fd)
{
    return _commit(fd);
}

ssize_t pread(int fd, void *buffer, unsigned size, long long offset)
{
    if (_lseeki64(fd, offset, SEEK_SET) < 0)
        return -1;
    return _read(fd, buffer, size);
}

void syncDirectoryOf(const std::string &) {}

#endif

#ifndef _WIN32

// The directory that holds fileName, for syncing a new entry.
std::string directoryOf(const std::string &fileName)
{
    const auto slash = fileName.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

void syncDirectoryOf(const std::string &fileName)
{
    const int dir = open(directoryOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

#endif

// Holds an exclusive flock for one scope.
class FileLock
{
public:
    explicit FileLock(int fd) : m_fd(fd)
    {
        while ((m_result = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
    }
    ~FileLock()
    {
        if (m_result == 0)
            flock(m_fd, LOCK_UN);
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    int result() const { return m_result; }

private:
    int m_fd;
    int m_result = -1;
};

} // namespace

ReceiptLog::ReceiptLog(std::string fileName) : m_fileName(std::move(fileName))
{
    struct stat info
    {
    };
    const bool existed = stat(m_fileName.c_str(), &info) == 0;
    m_fd = open(m_fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        fail("open", errno);
    // The file's name must survive a power cut as well as its lines.
    if (!existed)
        syncDirectoryOf(m_fileName);
    FileLock lock(m_fd);
    m_endedTorn = endsTorn();
}

ReceiptLog::~ReceiptLog()
{
    if (m_fd >= 0)
        close(m_fd);
}

void ReceiptLog::fail(const std::string &what, int error) const
{
    throw EReceiptLog("Cannot " + what + " the log " + m_fileName + ": " + std::strerror(error));
}

bool ReceiptLog::endsTorn() const
{
    struct stat info
    {
    };
    if (fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
        return false;
    // The descriptor is write-only; the last byte is read through a second one.
    const int reader = open(m_fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (reader < 0)
        return false;
    char last = '\n';
    const bool read = pread(reader, &last, 1, info.st_size - 1) == 1;
    close(reader);
    return read && last != '\n';
}

void ReceiptLog::append(const std::string &line)
{
    const std::lock_guard<std::mutex> turn(m_mutex);
    FileLock lock(m_fd);
    if (lock.result() != 0)
        fail("lock", errno);
    const std::string text = (endsTorn() ? "\n" : "") + line + "\n";
    ssize_t written;
    while ((written = write(m_fd, text.data(), text.size())) < 0 && errno == EINTR) {
    }
    if (written < 0)
        fail("write", errno);
    if (static_cast<std::size_t>(written) != text.size())
        fail("write", ENOSPC); // a short write to a file: the disk is full
    if (fdatasync(m_fd) != 0)
        fail("write", errno);
}
