#include "cli/StopSignal.h"

#include <csignal>

void onStopRequest(void (*handler)(int))
{
#ifdef _WIN32
    // The C runtime's signal() is reset to the default before the handler runs.
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
#else
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART is needed: nothing here blocks in a system call a signal would end.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}
