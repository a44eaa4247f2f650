#include "platform/posix/ErrnoMap.h"

#include <cerrno>

namespace {

struct ErrnoPair
{
    int error;
    DWORD win32;
};

constexpr ErrnoPair kErrors[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENODEV, ERROR_FILE_NOT_FOUND},
    {ENXIO, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {ELOOP, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_ACCESS_DENIED},
    // A device held by another opener: TIOCEXCL gives EBUSY, flock EWOULDBLOCK.
    {EBUSY, ERROR_ACCESS_DENIED},
    {EWOULDBLOCK, ERROR_ACCESS_DENIED},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EFAULT, ERROR_NOACCESS},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ERANGE, ERROR_INVALID_PARAMETER},
    {ENOTTY, ERROR_NOT_SUPPORTED},
    {EOPNOTSUPP, ERROR_NOT_SUPPORTED},
    {ENOSYS, ERROR_NOT_SUPPORTED},
    {EIO, ERROR_GEN_FAILURE},
    {EPIPE, ERROR_GEN_FAILURE},
    {ECANCELED, ERROR_OPERATION_ABORTED},
};

} // namespace

DWORD win32ErrorFromErrno(int error)
{
    for (const ErrnoPair &pair : kErrors) {
        if (pair.error == error)
            return pair.win32;
    }
    return ERROR_GEN_FAILURE;
}
