#include "platform/posix/RegistryStore.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Path lengths beyond this get a hashed file name; NAME_MAX is 255 on the usual file systems.
constexpr std::size_t kMaxPlainFileName = 200;
constexpr std::size_t kHashedPrefix = 150;

std::mutex &storeMutex()
{
    static std::mutex mutex;
    return mutex;
}

LONG writeError(int error)
{
    return (error == EACCES || error == EPERM || error == EROFS) ? LONG(ERROR_ACCESS_DENIED)
                                                                 : LONG(ERROR_CANTWRITE);
}

std::string homeDirectory()
{
    const char *home = std::getenv("HOME");
    if (home && *home)
        return home;
    passwd entry{};
    passwd *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

LONG makeDirectories(const std::string &directory)
{
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = directory.find('/', pos + 1);
        const std::string part = directory.substr(0, pos);
        if (part.empty() || ::mkdir(part.c_str(), 0700) == 0 || errno == EEXIST)
            continue;
        return writeError(errno);
    }
    return ERROR_SUCCESS;
}

std::uint64_t fnv1a64(std::string_view bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char b : bytes) {
        hash ^= b;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

LONG readFile(const std::string &path, std::string &bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? LONG(ERROR_FILE_NOT_FOUND) : LONG(ERROR_CANTREAD);
    LONG result = ERROR_SUCCESS;
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        result = ERROR_CANTREAD;
    } else if (!S_ISREG(info.st_mode) || info.st_size < 0 ||
               static_cast<std::uint64_t>(info.st_size) > kMaxRegistryKeyFileSize) {
        result = ERROR_BADDB;
    } else {
        bytes.clear();
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = ERROR_CANTREAD;
                break;
            }
            if (n == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
            if (bytes.size() > kMaxRegistryKeyFileSize) {
                result = ERROR_BADDB;
                break;
            }
        }
    }
    ::close(fd);
    return result;
}

// Writes a temporary file beside the target, forces it to disk and renames it over the target:
// readers and a crash see either the old file or the new one, never a part.
LONG writeFileAtomically(const std::string &directory, const std::string &target,
                         std::string_view bytes)
{
    std::string temp = target + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return writeError(errno);
    int error = 0;
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return writeError(error);
    }
    // Make the rename itself durable.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return ERROR_SUCCESS;
}

// Holds the store's lock file locked for one change (against other processes).
class FileLock
{
public:
    explicit FileLock(const std::string &directory)
    {
        const std::string path = directory + "/.lock";
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace

std::string RegistryKeyPath::text() const
{
    std::string text = root;
    for (const std::string &name : components) {
        text += '\\';
        text += name;
    }
    return text;
}

std::string registryStoreDirectory()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        (config && config[0] == '/') ? std::string(config) : homeDirectory() + "/.config";
    return base + "/zephra/registry";
}

LONG appendKeyPath(RegistryKeyPath &path, std::string_view subKey)
{
    std::vector<std::string> names;
    while (!subKey.empty()) {
        const std::size_t end = subKey.find('\\');
        const std::string_view name = subKey.substr(0, end);
        if (name.empty())
            return ERROR_BAD_PATHNAME;
        if (name.size() > kMaxRegistryKeyName)
            return ERROR_INVALID_PARAMETER;
        names.emplace_back(name);
        subKey = end == std::string_view::npos ? std::string_view{} : subKey.substr(end + 1);
    }
    for (std::string &name : names)
        path.components.push_back(std::move(name));
    return ERROR_SUCCESS;
}

std::string registryKeyFileName(const RegistryKeyPath &path)
{
    static const char hex[] = "0123456789abcdef";
    const std::string folded = foldRegistryName(path.text());
    std::string name;
    for (unsigned char c : folded) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.') {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += hex[c >> 4];
            name += hex[c & 0xF];
        }
    }
    if (name.size() > kMaxPlainFileName) {
        std::uint64_t hash = fnv1a64(folded);
        name.resize(kHashedPrefix);
        name += '~';
        for (int i = 15; i >= 0; --i)
            name += hex[(hash >> (4 * i)) & 0xF];
    }
    return name + ".key";
}

RegistryStore::RegistryStore(std::string directory) : m_directory(std::move(directory)) {}

std::string RegistryStore::filePath(const RegistryKeyPath &path) const
{
    return m_directory + "/" + registryKeyFileName(path);
}

LONG RegistryStore::keyExists(const RegistryKeyPath &path, bool &exists) const
{
    exists = path.components.empty();
    if (exists)
        return ERROR_SUCCESS;
    struct stat info
    {
    };
    if (::stat(filePath(path).c_str(), &info) == 0) {
        exists = S_ISREG(info.st_mode);
        return ERROR_SUCCESS;
    }
    return (errno == ENOENT || errno == ENOTDIR) ? LONG(ERROR_SUCCESS) : LONG(ERROR_CANTREAD);
}

LONG RegistryStore::createKey(const RegistryKeyPath &path, bool &created)
{
    created = false;
    std::lock_guard<std::mutex> guard(storeMutex());
    if (LONG rc = makeDirectories(m_directory))
        return rc;
    FileLock lock(m_directory);
    if (!lock.locked())
        return writeError(errno);
    RegistryKeyPath level{path.root, {}};
    for (const std::string &name : path.components) {
        level.components.push_back(name);
        bool exists = false;
        if (LONG rc = keyExists(level, exists))
            return rc;
        if (exists)
            continue;
        const RegistryKeyData empty{level.text(), {}};
        if (LONG rc = writeFileAtomically(m_directory, filePath(level), encodeRegistryKey(empty)))
            return rc;
        created = level.components.size() == path.components.size();
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::readKey(const RegistryKeyPath &path, RegistryKeyData &key) const
{
    std::string bytes;
    const LONG rc = readFile(filePath(path), bytes);
    if (rc == ERROR_FILE_NOT_FOUND) {
        key = RegistryKeyData{path.text(), {}};
        return ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS)
        return rc;
    std::optional<RegistryKeyData> decoded = decodeRegistryKey(bytes);
    if (!decoded)
        return ERROR_BADDB;
    if (foldRegistryName(decoded->path) != foldRegistryName(path.text()))
        return ERROR_BADKEY;
    key = std::move(*decoded);
    return ERROR_SUCCESS;
}

LONG RegistryStore::modifyKey(const RegistryKeyPath &path,
                              const std::function<LONG(RegistryKeyData &)> &change)
{
    std::lock_guard<std::mutex> guard(storeMutex());
    if (LONG rc = makeDirectories(m_directory))
        return rc;
    FileLock lock(m_directory);
    if (!lock.locked())
        return writeError(errno);
    RegistryKeyData key;
    LONG rc = readKey(path, key);
    const bool damaged = rc == ERROR_BADDB;
    if (damaged)
        key = RegistryKeyData{path.text(), {}};
    else if (rc != ERROR_SUCCESS)
        return rc;
    if ((rc = change(key)) != ERROR_SUCCESS)
        return rc;
    const std::string bytes = encodeRegistryKey(key);
    if (bytes.size() > kMaxRegistryKeyFileSize)
        return ERROR_NOT_ENOUGH_MEMORY;
    const std::string file = filePath(path);
    if (damaged && ::rename(file.c_str(), (file + ".corrupt").c_str()) != 0)
        return writeError(errno);
    return writeFileAtomically(m_directory, file, bytes);
}
