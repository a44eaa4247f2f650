// Opening and closing on real drivers: DTR and RTS stay down at an open that disables them,
// UUCP lock files are honoured and made, and a UART node with no UART behind it is missing.
#include "tests/drivers/suite/DriverPort.h"
#include "tests/drivers/suite/FarEnd.h"

#include "serial/PortDevice.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr unsigned kMcrDtr = 0x01, kMcrRts = 0x02, kMcrLoop = 0x10;

void openWithLines(DWORD dtr, DWORD rts)
{
    HANDLE port = CreateFileA(FarEnd::kUart, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = 9600;
    dcb.fDtrControl = dtr;
    dcb.fRtsControl = rts;
    EXPECT_TRUE(SetCommState(port, &dcb));
    CloseHandle(port);
}

// A DTR or RTS pin driven high: the register bit without loopback, which holds the pins off.
bool raisesAPin(unsigned mcr)
{
    return (mcr & (kMcrDtr | kMcrRts)) && !(mcr & kMcrLoop);
}

const char *kLock = "/run/lock/LCK..ttyS1";

void writeLock(pid_t pid)
{
    std::ofstream(kLock) << std::string(10 - std::to_string(pid).size(), ' ') << pid << "\n";
}

pid_t lockHolder()
{
    std::ifstream in(kLock);
    long pid = 0;
    return in >> pid ? pid_t(pid) : 0;
}

bool lockExists()
{
    return ::access(kLock, F_OK) == 0;
}

// This program again, in its helper role (see main.cpp), opening COM1.
pid_t helper(const char *role)
{
    const pid_t child = fork();
    if (child == 0) {
        setenv("ZEPHRA_DRIVER_HELPER", role, 1);
        execl("/proc/self/exe", "driver-suite", nullptr);
        _exit(127);
    }
    return child;
}

} // namespace

TEST(Open, DtrAndRtsStayDownThroughAnOpenThatDisablesThem)
{
    openWithLines(DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE);

    FarEnd::call("mark");
    openWithLines(DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE);
    for (unsigned mcr : FarEnd::modemControlWrites())
        EXPECT_FALSE(raisesAPin(mcr)) << std::hex << mcr;

    // The trace does see the pins when they are meant to rise.
    FarEnd::call("mark");
    openWithLines(DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE);
    bool dtrSeen = false;
    for (unsigned mcr : FarEnd::modemControlWrites())
        dtrSeen = dtrSeen || ((mcr & kMcrDtr) && !(mcr & kMcrLoop));
    EXPECT_TRUE(dtrSeen);
}

TEST(Open, ALockOfARunningProcessKeepsThePortAway)
{
    writeLock(1);
    HANDLE port = CreateFileA(FarEnd::kUart, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    if (port != INVALID_HANDLE_VALUE)
        CloseHandle(port);
    EXPECT_EQ(lockHolder(), 1);
    EXPECT_EQ(openFailureAdvice(ERROR_ACCESS_DENIED, FarEnd::kUart),
              "Another program is using the port: close the port there, then try again.");
    ::unlink(kLock);
}

TEST(Open, AStaleLockIsReplacedAndOursGoesAtClose)
{
    // A process that has ended: its ID is free.
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    writeLock(gone);
    {
        DriverPort port(FarEnd::kUart);
        ASSERT_TRUE(port.isOpen()) << port.openError();
        EXPECT_EQ(lockHolder(), getpid());
    }
    EXPECT_FALSE(lockExists());
}

TEST(Open, OurLockGoesWhenTheProcessEndsAndAKilledHoldersLockIsStale)
{
    // A process that exits with the port open takes its lock along.
    pid_t child = helper("open-and-exit");
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(lockExists());

    // A killed one cannot; its lock names a process that is gone, and the next opener gets in.
    child = helper("open-and-wait");
    for (int i = 0; i < 100 && lockHolder() != child; ++i)
        usleep(50000);
    const pid_t holder = lockHolder();
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_EQ(holder, child);
    DriverPort port(FarEnd::kUart);
    EXPECT_TRUE(port.isOpen()) << port.openError();
    EXPECT_EQ(lockHolder(), getpid());
}

// Its open succeeds here; the driver refuses everything after it.
TEST(Open, AUartNodeWithoutAUartIsMissing)
{
    ::symlink("/dev/ttyS3", (std::string(std::getenv("ZEPHRA_PORTS")) + "/COM3").c_str());
    HANDLE port =
        CreateFileA("COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}
