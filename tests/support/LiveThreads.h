// Counting the threads and descriptors of this process for "nothing left behind" checks. A
// thread that has been joined can still be listed in /proc/self/task for a moment (on a busy
// machine, for much longer) while the kernel finishes its exit; such a thread already carries
// the exiting flag, so it is not counted. Counts taken right after a join are then exact.
#pragma once

#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>

inline int liveThreads()
{
    constexpr unsigned long kExiting = 0x4; // PF_EXITING, set before a joiner is released
    int count = 0;
    DIR *tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return -1;
    while (const dirent *entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line))
            continue; // gone while we looked
        // The name in parentheses may hold blanks; the fields after it are plain. Flags is
        // the seventh field after the name (state, ppid, pgrp, session, tty_nr, tpgid, flags).
        const auto nameEnd = line.rfind(')');
        if (nameEnd == std::string::npos)
            continue;
        std::istringstream fields(line.substr(nameEnd + 1));
        std::string skipped;
        unsigned long flags = 0;
        for (int i = 0; i < 6; ++i)
            fields >> skipped;
        fields >> flags;
        if ((flags & kExiting) == 0)
            ++count;
    }
    closedir(tasks);
    return count;
}

// The open descriptors of this process (counted while one more lists them).
inline int openDescriptors()
{
    int count = 0;
    if (DIR *fds = opendir("/proc/self/fd")) {
        while (readdir(fds))
            ++count;
        closedir(fds);
    }
    return count;
}
