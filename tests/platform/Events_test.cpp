// Event objects, the two wait functions, GetOverlappedResult, the thread-local last error and
// the errno translation.
#include "platform/posix/ErrnoMap.h"
#include "platform/win32.h"
#include "tests/platform/PortTestUtil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

using namespace std::chrono_literals;

namespace {

struct Event
{
    HANDLE handle;
    Event(bool manual, bool signalled) : handle(CreateEventA(nullptr, manual, signalled, nullptr))
    {}
    ~Event() { CloseHandle(handle); }
};

} // namespace

TEST(EventTest, ManualResetStaysSignalledAutoResetReleasesOneWait)
{
    Event manual(true, true);
    EXPECT_EQ(WaitForSingleObject(manual.handle, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual.handle, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(manual.handle));
    EXPECT_EQ(WaitForSingleObject(manual.handle, 0), WAIT_TIMEOUT);

    Event automatic(false, false);
    EXPECT_EQ(WaitForSingleObject(automatic.handle, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(automatic.handle));
    EXPECT_EQ(WaitForSingleObject(automatic.handle, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic.handle, 0), WAIT_TIMEOUT);
}

TEST(EventTest, WaitAnyReportsTheLowestSignalledIndexAndTakesOnlyThatOne)
{
    Event first(false, false), second(false, true), third(false, true);
    const HANDLE all[] = {first.handle, second.handle, third.handle};
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_TIMEOUT);

    // Wait-all takes nothing until every object is signalled.
    SetEvent(first.handle);
    SetEvent(second.handle);
    EXPECT_EQ(WaitForMultipleObjects(3, all, TRUE, 0), WAIT_TIMEOUT);
    SetEvent(third.handle);
    EXPECT_EQ(WaitForMultipleObjects(3, all, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_TIMEOUT);
}

TEST(EventTest, WaitsTimeOutOrWakeFromAnotherThread)
{
    Event event(true, false);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event.handle, 100), WAIT_TIMEOUT);
    EXPECT_GE(millisSince(start), 95);

    std::thread setter([&] {
        std::this_thread::sleep_for(50ms);
        SetEvent(event.handle);
    });
    start = std::chrono::steady_clock::now();
    const HANDLE both[] = {event.handle, event.handle};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, INFINITE), WAIT_OBJECT_0);
    EXPECT_LT(millisSince(start), 10000);
    setter.join();
}

TEST(EventTest, BadWaitsFailWithWindowsErrors)
{
    Event event(true, true);
    const HANDLE one[] = {event.handle};
    EXPECT_EQ(WaitForMultipleObjects(0, one, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, event.handle);
    EXPECT_EQ(WaitForMultipleObjects(DWORD(many.size()), many.data(), FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    HANDLE stale = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(stale);
    for (HANDLE bad : {stale, HANDLE(nullptr), INVALID_HANDLE_VALUE}) {
        EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(SetEvent(bad));
        EXPECT_FALSE(CloseHandle(bad));
    }
    HANDLE fresh = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(fresh, stale) << "handle values are not reused";
    CloseHandle(fresh);
}

TEST(EventTest, OverlappedResultOfUnusedAndPendingRequests)
{
    // A zeroed request that never started reads as a finished one of 0 bytes.
    OVERLAPPED unused{};
    DWORD count = 99;
    EXPECT_TRUE(GetOverlappedResult(nullptr, &unused, &count, TRUE));
    EXPECT_EQ(count, 0u);

    OVERLAPPED pending{};
    pending.Internal = STATUS_PENDING;
    EXPECT_FALSE(GetOverlappedResult(nullptr, &pending, &count, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    EXPECT_FALSE(GetOverlappedResult(nullptr, nullptr, &count, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(LastErrorTest, IsPerThreadAndKeptBySuccessfulCalls)
{
    SetLastError(1234);
    DWORD seenByOther = 99;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(5);
    });
    other.join();
    EXPECT_EQ(seenByOther, 0u);
    Event event(true, false);
    SetLastError(1234);
    EXPECT_TRUE(SetEvent(event.handle));
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST(LastErrorTest, ErrnoValuesTranslateToWindowsNumbers)
{
    const std::pair<int, DWORD> table[] = {
        {0, ERROR_SUCCESS},
        {ENOENT, ERROR_FILE_NOT_FOUND},
        {ENXIO, ERROR_FILE_NOT_FOUND},
        {ENODEV, ERROR_FILE_NOT_FOUND},
        {EACCES, ERROR_ACCESS_DENIED},
        {EBUSY, ERROR_ACCESS_DENIED},
        {EWOULDBLOCK, ERROR_ACCESS_DENIED},
        {EBADF, ERROR_INVALID_HANDLE},
        {EINVAL, ERROR_INVALID_PARAMETER},
        {EIO, ERROR_GEN_FAILURE},
        {ENOTTY, ERROR_NOT_SUPPORTED},
        {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
        {EHOSTDOWN, ERROR_GEN_FAILURE},
    };
    for (const auto &[error, expected] : table)
        EXPECT_EQ(win32ErrorFromErrno(error), expected) << error;
}
