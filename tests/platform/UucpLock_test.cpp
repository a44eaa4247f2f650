// UUCP lock files taken and dropped by opening and closing a port, in a lock directory of the
// test's own (ZEPHRA_LOCK_DIR).
#include "platform/posix/UucpLock.h"
#include "platform/win32.h"
#include "tests/platform/PortTestUtil.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class UucpLockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mkdtemp(directory));
        setenv("ZEPHRA_LOCK_DIR", directory, 1);
        lockFile = std::string(directory) + "/" + UucpLock::lockFileFor(pty.slavePath());
    }
    void TearDown() override
    {
        unsetenv("ZEPHRA_LOCK_DIR");
        std::remove(lockFile.c_str());
        rmdir(directory);
    }
    // The process ID in the lock file, 0 when there is none.
    pid_t holder()
    {
        long pid = 0;
        std::ifstream(lockFile) >> pid;
        return pid_t(pid);
    }
    void plant(pid_t pid) { std::ofstream(lockFile) << pid << '\n'; }

    char directory[32] = "/tmp/uucp-lock-XXXXXX";
    std::string lockFile;
    PortDirectory ports;
    PtyPair pty;
    std::string name = ports.publish(pty, 3);
};

TEST_F(UucpLockTest, OpenTakesTheLockAndCloseRemovesIt)
{
    HANDLE port = openPort(name);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(holder(), getpid());
    CloseHandle(port);
    EXPECT_NE(access(lockFile.c_str(), F_OK), 0);
}

TEST_F(UucpLockTest, ARunningHolderRefusesWith5AndAStaleLockIsReplaced)
{
    plant(getppid());
    EXPECT_EQ(openPort(name), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(holder(), getppid()) << "another's lock is left alone";
    // Four bytes of text are no binary ID: init, always running, written as "  1\n".
    std::ofstream(lockFile) << "  1\n";
    EXPECT_EQ(openPort(name), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    plant(gone);
    HANDLE port = openPort(name);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(holder(), getpid());
    CloseHandle(port);
}

} // namespace
