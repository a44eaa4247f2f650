// UUCP lock files: the convention by which serial programs on one machine keep out of each
// other's way. A program that wants a device creates /run/lock/LCK..<name> (name: the device
// path after /dev/, with '/' as '_') holding its process ID as ten characters and a newline.
// A file whose process no longer runs is stale: the next opener replaces it. Locks still held
// when the process exits are removed on the way out; a process that is killed leaves a stale
// one. The environment variable ZEPHRA_LOCK_DIR, where set, names the lock directory instead
// of /run/lock or /var/lock (tests use it to keep their locks to themselves). Any thread.
#pragma once

#include "platform/win32types.h"

#include <string>

namespace UucpLock {

// Takes the lock for the device at path (symbolic links followed). ERROR_SUCCESS, with the
// lock file in lockFile, or empty there when no lock directory can be written (nothing is
// locked then); ERROR_ACCESS_DENIED when a running process holds the lock.
DWORD acquire(const std::string &path, std::string &lockFile);
// Removes a lock taken by acquire, unless someone else has taken it over meanwhile.
void release(const std::string &lockFile);

// The lock file's name for a device path (exposed for tests).
std::string lockFileFor(const std::string &path);

} // namespace UucpLock
