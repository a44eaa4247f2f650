#include "framework/core/WholeFile.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

bool flushToDisk(std::FILE *file)
{
    if (std::fflush(file) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// A name beside the target that no other save of this process uses at the same time.
fs::path temporaryBeside(const fs::path &target)
{
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = getpid();
#endif
    fs::path name = target;
    name += "." + std::to_string(pid) + "." + std::to_string(++counter) + ".new";
    return name;
}

// Windows refuses a plain rename onto an existing file.
void moveOver(const fs::path &from, const fs::path &to, std::error_code &error)
{
#ifdef _WIN32
    if (!MoveFileExA(from.string().c_str(), to.string().c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error.assign(static_cast<int>(GetLastError()), std::system_category());
#else
    fs::rename(from, to, error);
#endif
}

} // namespace

std::optional<std::string> readWholeFile(const std::string &fileName, std::int64_t maxSize)
{
    std::error_code error;
    const fs::path path(fileName);
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return std::string();
    if (error || fs::is_directory(status))
        return std::nullopt;
    std::FILE *file = std::fopen(fileName.c_str(), "rb");
    if (!file)
        return std::nullopt;
    // Sized by what the file holds, not by the limit: a buffer of the limit's size would be
    // allocated for every entry read. Reading one byte past the limit shows a file too large.
    std::string bytes;
    char chunk[16384];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, got);
        if (static_cast<std::int64_t>(bytes.size()) > maxSize)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || static_cast<std::int64_t>(bytes.size()) > maxSize)
        return std::nullopt;
    return bytes;
}

bool replaceWholeFile(const std::string &fileName, const std::string &bytes)
{
    std::error_code error;
    fs::path target(fileName);
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        const fs::path resolved = fs::weakly_canonical(target, error);
        if (error)
            return false;
        target = resolved;
    }
    const fs::file_status old = fs::status(target, error);
    if (fs::is_directory(old))
        return false;
    const fs::path temporary = temporaryBeside(target);
    std::FILE *file = std::fopen(temporary.string().c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = flushToDisk(file) && written;
    written = std::fclose(file) == 0 && written;
    error.clear();
    if (written && fs::exists(old))
        fs::permissions(temporary, old.permissions(), error);
    if (written && !error)
        moveOver(temporary, target, error);
    if (!written || error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}
