#include "cli/ReplaceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

std::string createFileBeside(const std::string &fileName)
{
    // In the same directory, so that the move stays on one file system.
    std::string name = fileName + ".XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return {};
#ifndef _WIN32
    // mkstemp makes the file private; this one gets the permissions of any new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
#endif
    close(fd);
    return name;
}

bool replaceFile(const std::string &from, const std::string &to)
{
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}
