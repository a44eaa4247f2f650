/* Preloaded into Wine when a pseudo-terminal stands for a COM port: a pty answers the modem
 * and serial-counter ioctls with ENOTTY, which makes Wine's GetCommModemStatus fail and its
 * comm-event waits end at once. Here such a request succeeds with "no lines, no counts", as a
 * port without modem lines would answer. Every other request goes to the real ioctl.
 * 32-bit glibc builds call __ioctl_time64, so both names are exported. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>

typedef int (*ioctl_fn)(int, unsigned long, void *);

static int answered(unsigned long request, void *arg)
{
    switch (request) {
    case TIOCMGET:
    case TIOCSERGETLSR:
        if (arg)
            *(int *)arg = request == TIOCSERGETLSR ? TIOCSER_TEMT : 0;
        return 1;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
        return 1;
    case TIOCGICOUNT:
        if (arg)
            memset(arg, 0, sizeof(struct serial_icounter_struct));
        return 1;
    default:
        return 0;
    }
}

static int forward(const char *name, int fd, unsigned long request, void *arg)
{
    static ioctl_fn real_ioctl;
    static ioctl_fn real_time64;
    ioctl_fn *slot = name[0] == 'i' ? &real_ioctl : &real_time64;
    if (!*slot)
        *slot = (ioctl_fn)dlsym(RTLD_NEXT, name);
    if (!*slot) {
        errno = ENOSYS;
        return -1;
    }
    const int result = (*slot)(fd, request, arg);
    if (result < 0 && errno == ENOTTY && answered(request, arg)) {
        errno = 0;
        return 0;
    }
    return result;
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    return forward("ioctl", fd, request, arg);
}

int __ioctl_time64(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    return forward("__ioctl_time64", fd, request, arg);
}
